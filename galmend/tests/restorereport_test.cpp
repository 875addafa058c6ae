#include "hostenv/backup/undo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "galaxysets.h"
#include "testhost.h"

namespace galmend {
namespace {

// What the player is told of a restore: the count, each galaxy left and why, and a set cut
// short or refused.
TEST(RestoreReport, TheBoxCountsTheGalaxiesAndSaysWhatWasLeftAndWhy) {
    const BackupSet set{"C:\\sets\\2026-12-07 19-32-13 run 2.zip", "2026-12-07 19-32-13 run 2.zip",
                        2, BackupSet::State::open};
    const std::string in = " in 2026-12-07 19-32-13 run 2.zip";
    const std::string a = "C:\\Games\\Zarn\\a.galaxy", b = "C:\\Games\\Zarn\\b.galaxy";
    const std::string cut =
        ". It has no end (the fix that wrote it was stopped) or is cut short: a galaxy the fix "
        "replaced after that one is not in it.";
    const auto restored = [](std::vector<FileRestore> files, std::string lastaccounted = "") {
        SetRestore restore;
        restore.files = std::move(files);
        restore.incomplete = !lastaccounted.empty();
        restore.lastaccounted = std::move(lastaccounted);
        return restore;
    };
    SetRestore refused;
    refused.problem = SetRestore::Problem::refused;
    refused.refusedpath = "C:\\windows\\win.ini";
    refused.refusedwhy = "is not a galaxy (a \".galaxy\" file)";
    using O = FileOutcome;
    const struct {
        const char* what;
        SetRestore restore;
        std::string said;
        bool whole;
    } cases[] = {
        {"all back", restored({{a, O::restored, ""}, {b, O::restored, ""}}),
         "Restored 2 of the 2 galaxies" + in + ".", true},
        {"one already", restored({{a, O::restored, ""}, {b, O::alreadyold, ""}}),
         "Restored 1 of the 2 galaxies" + in + "; 1 was already as before the fix.", true},
        {"two already, one changed",
         restored({{a, O::alreadyold, ""}, {b, O::alreadyold, ""}, {b, O::changed, ""}}),
         "Restored 0 of the 3 galaxies" + in + "; 2 were already as before the fix.\r\n" +
             "Not restored, changed since the fix: " + b,
         false},
        {"cut short", restored({{a, O::restored, ""}}, a),
         "Restored 1 of the 1 galaxy" + in + ".\r\n" + set.path +
             " is incomplete: the last galaxy it accounts for is " + a + cut,
         false},
        {"refused", refused,
         "The backup set " + set.path +
             " is refused: it names C:\\windows\\win.ini, which is not a galaxy (a \".galaxy\" "
             "file). A backup set puts back only galaxies in the game's galaxy folder and the "
             "player's. Nothing was restored, and the set is set aside, so that the next undo "
             "takes the one before it.",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RestoreOffer offer{set, "2026-12-07 19:32:13", c.restore.files.size(), {}, nullptr};
        hostenv::testing::RecordingUi ui;
        EXPECT_EQ(hostenv::backup::reportrestore(galaxysets(), offer, RestoreRun{c.restore, ""}, ui,
                                                 false),
                  c.whole);
        EXPECT_EQ(ui.messages, std::vector<std::string>{c.said});
    }
}

}  // namespace
}  // namespace galmend
