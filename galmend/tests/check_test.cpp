// galmend /check against the fix itself: it foresees every galaxy /s rewrites and every one it
// fails on, and leaves the drive as it found it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "faultyfilesystem.h"
#include "galaxysets.h"
#include "galmendhost.h"

namespace galmend {
namespace {

namespace fs = std::filesystem;
using hostenv::testing::Ran;

constexpr const char* oldgalaxy = "begin\r\nversion 3\r\nplanet\r\nowner 2\r\nmoons 11\r\nend\r\n";
constexpr const char* currentgalaxy = "begin\r\nversion 4\r\nplanet\r\n";

class Check : public GalmendHost {
  protected:
    static std::string game(const std::string& name) { return "C:\\Games\\Zarn\\" + name; }
    static std::string user(const std::string& name) { return std::string(userfolder) + name; }
};

enum class Trait { plain, readonly, unreadable };

// Trees of old, current and newer galaxies, the game's own map, galaxies without a version
// line, read-only and unreadable ones, in both folders and their sub-folders. Each tree is
// checked, then fixed by /s runs until one ends 0, the galaxy each failing run names taken
// away: the check foresaw every galaxy those runs rewrote, in order, and every failure, with
// its message.
TEST_F(Check, ForeseesWhatTheFixesRewriteAndFailOnAndChangesNothing) {
    const struct {
        std::string bytes;
        Trait trait;
    } kinds[] = {{oldgalaxy, Trait::plain},
                 {std::string(oldgalaxy) + "\r\n\r\n", Trait::plain},
                 {"x\r\nversion ab\r\nend\r\n", Trait::plain},
                 {currentgalaxy, Trait::plain},
                 {"x\r\nversion12\r\n", Trait::plain},
                 {"only\r\n", Trait::plain},
                 {oldgalaxy, Trait::readonly},
                 {currentgalaxy, Trait::readonly},
                 {oldgalaxy, Trait::unreadable}};
    const Lines places{game(""), game("sub\\"), user(""), user("deep\\er\\")};
    const std::string backups = backupsfolder(galaxysets(), "C:\\users\\player\\AppData\\Local");
    std::map<int, int> exits;
    int severalfailing = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("tree " + std::to_string(seed));
        fs::remove_all(drive.host(backups));
        for (const auto& folder : {game(""), user("")}) {
            fs::remove_all(drive.host(folder));
            drive.makefolder(folder);
        }
        drive.write(game("sub\\~galmend-77-3.tmp"), "half");
        std::mt19937 random(seed);
        Lines unreadable{"C:\\none"};
        Lines written;
        for (std::size_t i = 0, count = random() % 9; i < count; ++i) {
            const auto& kind = kinds[random() % std::size(kinds)];
            const std::string path = random() % 8 == 0 ? game("Twin.galaxy")
                                                       : places[random() % places.size()] + "g" +
                                                             std::to_string(i) + ".galaxy";
            drive.write(path, kind.bytes);
            written.push_back(path);
            if (kind.trait == Trait::readonly)
                fs::permissions(drive.host(path), fs::perms::owner_read);
            if (kind.trait == Trait::unreadable) unreadable.push_back(path);
        }
        hostenv::testing::UnreadableFiles disk(drive.root(), unreadable,
                                               "The process cannot access the file.");
        const auto before = drive.snapshot();
        const Ran check = start(disk, "/check");
        EXPECT_EQ(drive.snapshot(), before);
        EXPECT_FALSE(drive.exists(backups));
        EXPECT_TRUE(check.ui.boxeshidden);

        Lines rewritten;
        Lines failures;
        Ran fix = start(disk, "/s");
        for (; fix.exitcode == 1; fix = start(disk, "/s")) {
            const Lines now = fix.reported("Rewrote C:\\");
            rewritten.insert(rewritten.end(), now.begin(), now.end());
            ASSERT_EQ(fix.ui.messages.size(), 1u);
            failures.push_back(fix.ui.messages[0]);
            bool named = false;
            for (const auto& path : written) {
                if (failures.back().find(path) == std::string::npos || !drive.exists(path))
                    continue;
                fs::permissions(drive.host(path), fs::perms::owner_all);
                named = fs::remove(drive.host(path));
            }
            ASSERT_TRUE(named) << failures.back();
        }
        ASSERT_EQ(fix.exitcode, 0);
        const Lines now = fix.reported("Rewrote C:\\");
        rewritten.insert(rewritten.end(), now.begin(), now.end());

        EXPECT_EQ(check.reported("Would rewrite C:\\"), rewritten);
        EXPECT_EQ(check.ui.messages, failures);
        const int expected = !failures.empty() ? 1 : !rewritten.empty() ? 4 : 0;
        EXPECT_EQ(check.exitcode, expected);
        ++exits[expected];
        severalfailing += failures.size() > 1 ? 1 : 0;
        const std::string counted = check.ui.reports.empty() ? "" : check.ui.reports.back();
        EXPECT_TRUE(
            counted.starts_with("Would rewrite " + std::to_string(rewritten.size()) + " of the "))
            << counted;
        EXPECT_EQ(counted.ends_with("; " + std::to_string(failures.size()) + " would fail."),
                  !failures.empty())
            << counted;
        if (failures.empty()) {
            EXPECT_EQ(counted, "Would rewrite " + fix.ui.reports.at(rewritten.size()).substr(8));
        }
        EXPECT_EQ(start(disk, "/check").exitcode, 0) << "nothing left to rewrite";
    }
    EXPECT_GT(exits[0], 0);
    EXPECT_GT(exits[1], 0);
    EXPECT_GT(exits[4], 0);
    EXPECT_GT(severalfailing, 0);
}

// A check on a failing disk still changes nothing, and fails naming the fault or ends as if
// the fault had been in a look it does without.
TEST_F(Check, AFailingFileOperationNeverMakesTheCheckChangeTheDisk) {
    drive.write(game("a.galaxy"), oldgalaxy);
    drive.write(game("sub\\b.galaxy"), oldgalaxy);
    drive.write(game("Twin.galaxy"), oldgalaxy);
    drive.write(user("c.galaxy"), currentgalaxy);
    drive.write(user("deep\\d.galaxy"), oldgalaxy);
    const auto before = drive.snapshot();
    int runs = 0;
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(failat));
            hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, persistent);
            const Ran check = start(faulty, "/check");
            ++runs;
            const std::string told = ::testing::PrintToString(check.ui.messages);
            EXPECT_TRUE(check.exitcode == 0 || check.exitcode == 4 ||
                        (check.exitcode == 1 && told.find("Injected fault: ") != std::string::npos))
                << told << ::testing::PrintToString(check.ui.reports);
            EXPECT_EQ(drive.snapshot(), before);
            if (faulty.failures() == 0) break;
        }
    }
    EXPECT_GT(runs, 20);
}

// A check runs alone, and whatever ends it is written to the console, never in a box.
TEST_F(Check, RunsAloneAndShowsNoBoxWhateverEndsIt) {
    drive.write(game("old.galaxy"), oldgalaxy);
    const struct {
        const char* args;
        bool oldgame;
        int exitcode;
        // The console's first lines; none for the gate's own text, as the window shows it.
        std::string told;
    } cases[] = {
        {"/check /s", false, 3, "Invalid argument: /s"},
        {"/s /Check", false, 3, "Invalid argument: /Check"},
        {"/check /restore", false, 3, "Invalid argument: /restore"},
        {"-CHECK", false, 4,
         "Would rewrite " + game("old.galaxy") + "\r\nWould rewrite 1 of the 1 galaxy found."},
        {"/check", true, 2, ""},
    };
    for (const auto& c : cases) {
        platform.setversion(game("Halcyrion.exe"), 1, c.oldgame ? 51 : 52, 0, 3);
        const std::string told = c.told.empty() ? start(drive.fs, "").ui.messages.at(0) : c.told;
        EXPECT_EQ(console("galmend", c.args, c.exitcode),
                  told + "\r\n" + hostenv::outcomeline("galmend", c.exitcode) + "\r\n");
    }
    EXPECT_TRUE(boxesshown.messages.empty());
    EXPECT_EQ(drive.read(game("old.galaxy")), oldgalaxy);
}

}  // namespace
}  // namespace galmend
