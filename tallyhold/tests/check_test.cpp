// tallyhold /check against the silent run itself: it foresees the manifests /s removes, the
// one it writes and how it ends, and leaves the drive as it found it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tallyholdhost.h"

namespace tallyhold {
namespace {

namespace fs = std::filesystem;

using hostenv::testing::Ran;

class Check : public TallyholdHost {};

enum class Odd { none, link, readonly, unreadable };

// Manifests in both folders and their sub-folders, with and without the game's own, one of
// them a link, read-only or unreadable: the check foresees what /s then does, and how it ends.
TEST_F(Check, ForeseesWhatTheSilentRunRemovesAndWritesAndChangesNothing) {
    const std::string manifest = game("galaxy.manifest");
    const struct {
        // Whether a silent run wrote the game's manifest before the others were planted.
        bool written;
        bool galaxies;
        Lines planted;
        // What the first planted manifest is.
        Odd odd;
    } cases[] = {
        {false, true, {}, Odd::none},
        {false, false, {}, Odd::none},
        {false,
         true,
         {manifest, fortrel("galaxy.manifest"), user("sub\\galaxy.manifest")},
         Odd::none},
        {true, true, {}, Odd::none},
        {true, false, {}, Odd::none},
        {true, true, {user("deep\\er\\galaxy.manifest")}, Odd::none},
        {false, true, {manifest}, Odd::none},
        {true, true, {fortrel("galaxy.manifest"), user("galaxy.manifest")}, Odd::link},
        {true, true, {manifest}, Odd::link},
        {false, true, {user("galaxy.manifest"), fortrel("galaxy.manifest")}, Odd::readonly},
        {false, true, {manifest, user("galaxy.manifest")}, Odd::readonly},
        {true, true, {fortrel("galaxy.manifest"), user("galaxy.manifest")}, Odd::unreadable},
    };
    int casenumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(++casenumber));
        for (const std::string folder : {localapp, "C:\\Games\\Zarn", "C:\\outside"})
            fs::remove_all(drive.host(folder));
        drive.makefolder(userfolder);
        drive.makefolder(game(""));
        if (c.galaxies)
            drive.touch({fortrel("Alpha.galaxy"), game("Beta.galaxy"), user("sub\\Gamma.galaxy")});
        if (c.written) {
            ASSERT_EQ(start(drive.fs, "/s").exitcode, 0);
        }
        Lines unreadable{"C:\\none"};
        for (const auto& path : c.planted) {
            const bool odd = path == c.planted[0];
            if (odd && c.odd == Odd::link) {
                drive.write("C:\\outside\\target.txt", "outside");
                fs::remove(drive.host(path));
                fs::create_directories(drive.host(path).parent_path());
                fs::create_symlink(drive.host("C:\\outside\\target.txt"), drive.host(path));
                continue;
            }
            drive.write(path, path);
            if (odd && c.odd == Odd::readonly)
                fs::permissions(drive.host(path), fs::perms::owner_read);
            if (odd && c.odd == Odd::unreadable) unreadable.push_back(path);
        }
        hostenv::testing::UnreadableFiles disk(drive.root(), unreadable, "The file is in use.");
        const auto before = drive.snapshot();
        const std::string gamebefore = drive.exists(manifest) ? drive.read(manifest) : "none";
        const Ran check = start(disk, "/check");
        EXPECT_EQ(drive.snapshot(), before);
        EXPECT_TRUE(check.ui.boxeshidden);

        const Ran fix = start(disk, "/s");
        Lines removed;
        for (const auto& path : c.planted) {
            if (path != manifest && !fs::exists(fs::symlink_status(drive.host(path))))
                removed.push_back(path);
        }
        std::sort(removed.begin(), removed.end());
        Lines foreseen = check.reported("Would remove ");
        std::sort(foreseen.begin(), foreseen.end());
        EXPECT_EQ(foreseen, removed);
        const Lines wrote = fix.reported("Wrote ");
        const Lines wouldwrite = check.reported("Would write ");
        ASSERT_EQ(wrote.size(), wouldwrite.size());
        if (!wrote.empty()) {
            EXPECT_TRUE(wrote[0].starts_with(wouldwrite[0] + "; ")) << wrote[0];
        }
        Lines told = fix.ui.messages;
        for (auto& message : told) {
            if (message.starts_with("Wrote ")) message = "Would write " + message.substr(6);
        }
        EXPECT_EQ(check.ui.messages, told);
        const bool same = gamebefore == (drive.exists(manifest) ? drive.read(manifest) : "");
        EXPECT_EQ(check.exitcode, fix.exitcode == 1 ? 1 : removed.empty() && same ? 0 : 4);
        if (fix.exitcode == 0) {
            EXPECT_EQ(start(disk, "/check").exitcode, 0);
        }
        if (c.odd == Odd::readonly) fs::permissions(drive.host(c.planted[0]), fs::perms::owner_all);
    }
}

// A check runs alone, and whatever ends it is written to the console, never in a box.
TEST_F(Check, RunsAloneAndShowsNoBoxWhateverEndsIt) {
    drive.touch({game("Beta.galaxy")});
    const struct {
        const char* args;
        bool oldgame;
        int exitcode;
        // The console's first lines; none for the gate's own text, as the window shows it.
        std::string told;
    } cases[] = {
        {"/check /s", false, 3, "Invalid argument: /s"},
        {"/check -restore", false, 3, "Invalid argument: -restore"},
        {"-CHECK", false, 4, "Would write " + game("galaxy.manifest") + " with 1 galaxy"},
        {"/check", true, 2, ""},
    };
    for (const auto& c : cases) {
        platform.setversion(game("Halcyrion.exe"), 1, c.oldgame ? 51 : 52, 0, 3);
        const std::string told = c.told.empty() ? start(drive.fs, "").ui.messages.at(0) : c.told;
        EXPECT_EQ(console("tallyhold", c.args, c.exitcode),
                  told + "\r\n" + hostenv::outcomeline("tallyhold", c.exitcode) + "\r\n");
    }
    EXPECT_TRUE(boxesshown.messages.empty());
    EXPECT_FALSE(drive.exists(game("galaxy.manifest")));
}

}  // namespace
}  // namespace tallyhold
