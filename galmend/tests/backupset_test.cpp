#include "backupset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "hostenv/safereplace.h"
#include "testhost.h"

namespace galmend {
namespace {

using hostenv::Failure;
using hostenv::testing::FaultyFileSystem;
using hostenv::testing::RecordingUi;
using hostenv::testing::TempDrive;

constexpr const char* gamefolder = "C:\\Games\\Zarn\\";
constexpr const char* userfolder = "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\";
constexpr const char* stamp = "2026-12-07 19-32-13";

const std::string folder = backupsfolder("C:\\users\\player\\AppData\\Local");

// Three galaxies, old bytes and the new ones a fix writes.
struct Galaxy {
    std::string path;
    std::string old;
    std::string fresh;
};

const std::vector<Galaxy> galaxies = {
    {std::string(gamefolder) + "maps\\Orion Drift.galaxy", "version 3\r\nstar a\r\n",
     "version 4\r\nformat zarn4\r\nstar a\r\nglow 1\r\n"},
    {std::string(userfolder) + "\xE6\x98\x9F\xE7\xB3\xBB.galaxy", "version 3\r\n",
     "version 4\r\nformat zarn4\r\n"},
    {std::string(userfolder) + "deep\\c.galaxy", std::string(5000, 'o'), std::string(6000, 'n')},
};

class Backups : public ::testing::Test {
  protected:
    Backups() {
        for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
    }

    BackupWriter writer(hostenv::FileSystem& fs, const std::string& time = stamp) {
        return BackupWriter(fs, folder, time, {gamefolder, userfolder});
    }

    // A fix as galmend makes one: backs up every galaxy, commits, then replaces them.
    std::string fix(hostenv::FileSystem& fs, const std::string& time = stamp) {
        BackupWriter set = writer(fs, time);
        for (const auto& galaxy : galaxies) set.add(galaxy.path, galaxy.old, galaxy.fresh);
        set.commit();
        for (const auto& galaxy : galaxies) hostenv::safereplace(fs, galaxy.path, galaxy.fresh);
        set.finish();
        return set.setpath();
    }

    // The same with each new text staged beside its galaxy before its old bytes are added, so
    // that no galaxy's text waits in memory for the commit; the set is finished however the
    // fix ends.
    void stagedfix(hostenv::FileSystem& fs) {
        BackupWriter set = writer(fs);
        try {
            std::vector<std::unique_ptr<hostenv::StagedFile>> staged;
            for (const auto& galaxy : galaxies) {
                staged.push_back(
                    std::make_unique<hostenv::StagedFile>(fs, galaxy.path, galaxy.fresh));
                set.add(galaxy.path, galaxy.old, galaxy.fresh);
            }
            set.commit();
            for (auto& file : staged) file->replace();
        } catch (const Failure&) {
            set.finish();
            throw;
        }
        set.finish();
    }

    std::vector<std::string> sets() const {
        return drive.exists(folder) ? drive.names(folder) : std::vector<std::string>{};
    }

    TempDrive drive;
};

TEST_F(Backups, EachGalaxyIsKeptUnderItsFolderAndPathWithTheRecordOfItsNewBytes) {
    const std::string path = fix(drive.fs);
    EXPECT_EQ(path, folder + "\\" + stamp + ".zip");
    const ZipListing listing = listzip(drive.fs, path);
    EXPECT_EQ(listing.end, ZipListing::End::complete);
    const std::vector<std::string> names = {"game/maps/Orion Drift.galaxy",
                                            "user/\xE6\x98\x9F\xE7\xB3\xBB.galaxy",
                                            "user/deep/c.galaxy"};
    ASSERT_EQ(listing.entries.size(), names.size());
    std::string bytes;
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(listing.entries[i].name, names[i]);
        EXPECT_TRUE(readentry(drive.fs, path, listing.entries[i], bytes));
        EXPECT_EQ(bytes, galaxies[i].old);
        ASSERT_TRUE(listing.entries[i].privatedata);
        EXPECT_TRUE(listing.entries[i].privatedata->ends_with(galaxies[i].path));
    }
}

TEST_F(Backups, AFixThatRewritesNothingMakesNoSet) {
    BackupWriter set = writer(drive.fs);
    set.commit();
    set.finish();
    EXPECT_TRUE(set.setpath().empty());
    EXPECT_FALSE(drive.exists(folder));
}

TEST_F(Backups, ARunInTheSameSecondAsAnotherTakesTheNextNumber) {
    struct Case {
        std::vector<std::string> existing;
        std::string made;
    };
    const std::vector<Case> cases = {
        {{}, "2026-12-07 19-32-13.zip"},
        {{"2026-12-07 19-32-13.zip"}, "2026-12-07 19-32-13 (2).zip"},
        {{"2026-12-07 19-32-13.zip", "2026-12-07 19-32-13 (2).zip"}, "2026-12-07 19-32-13 (3).zip"},
        // A set restored already still holds its name's place in the order, and one pruned
        // leaves no gap for a later run to take.
        {{"2026-12-07 19-32-13 restored.zip"}, "2026-12-07 19-32-13 (2).zip"},
        {{"2026-12-07 19-32-13 (7) restored.zip", "2026-12-07 19-32-13 (5).zip",
          "2026-12-07 19-32-14.zip"},
         "2026-12-07 19-32-13 (8).zip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.made);
        std::filesystem::remove_all(drive.host(folder));
        drive.makefolder(folder);
        for (const auto& name : c.existing) drive.write(folder + "\\" + name, "");
        BackupWriter set = writer(drive.fs);
        set.add(galaxies[0].path, galaxies[0].old, galaxies[0].fresh);
        set.finish();
        EXPECT_EQ(set.setpath(), folder + "\\" + c.made);
    }
}

TEST_F(Backups, SetsAreOrderedByTimeAndNumberAndTheNewestUnrestoredIsTaken) {
    drive.makefolder(folder);
    for (const char* name :
         {"2026-12-07 19-32-13 (2).zip", "2026-12-07 19-32-13 (10).zip", "2026-12-07 19-32-13.zip",
          "2026-12-08 08-00-00 restored.zip", "2025-01-01 00-00-00 (3) restored.zip", "notes.zip",
          "2026-12-07 19-32-13 (1).zip", "2026-12-07 19-32-13 (02).zip", "2026-12-07 19-32.zip",
          "2026-12-09 10-00-00.txt"}) {
        drive.write(folder + "\\" + name, "");
    }
    std::vector<std::string> names;
    for (const auto& set : backupsets(drive.fs, folder)) names.push_back(set.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "2025-01-01 00-00-00 (3) restored.zip", "2026-12-07 19-32-13.zip",
                         "2026-12-07 19-32-13 (2).zip", "2026-12-07 19-32-13 (10).zip",
                         "2026-12-08 08-00-00 restored.zip"}));
    const auto newest = newestunrestored(drive.fs, folder);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->name, "2026-12-07 19-32-13 (10).zip");
    EXPECT_EQ(datetext(*newest), "2026-12-07 19:32:13");
    EXPECT_FALSE(newestunrestored(drive.fs, folder + "\\missing"));
}

TEST_F(Backups, PruningKeepsTheTenNewestSetsAndWhatIsNotASet) {
    drive.makefolder(folder);
    std::vector<std::string> names;
    for (int day = 10; day < 23; ++day) {
        names.push_back("2026-11-" + std::to_string(day) + " 12-00-00" +
                        (day % 3 == 0 ? " restored" : "") + ".zip");
        drive.write(folder + "\\" + names.back(), "");
    }
    drive.write(folder + "\\notes.zip", "");
    prunebackupsets(drive.fs, folder);
    std::vector<std::string> kept(names.end() - 10, names.end());
    kept.push_back("notes.zip");
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(sets(), kept);
}

TEST_F(Backups, ARestorePutsBackEachGalaxyThatStillHoldsWhatTheFixWrote) {
    const std::string path = fix(drive.fs);
    // The player edits one, deletes one; the third is as the fix left it.
    drive.write(galaxies[1].path, "edited\r\n");
    std::filesystem::remove(drive.host(galaxies[2].path));
    const SetRestore restore = restoreset(drive.fs, path);
    EXPECT_EQ(restore.problem, SetRestore::Problem::none);
    ASSERT_EQ(restore.galaxies.size(), 3u);
    EXPECT_EQ(restore.galaxies[0].outcome, GalaxyOutcome::restored);
    EXPECT_EQ(restore.galaxies[1].outcome, GalaxyOutcome::changed);
    EXPECT_EQ(restore.galaxies[2].outcome, GalaxyOutcome::gone);
    EXPECT_FALSE(restore.complete());
    EXPECT_EQ(drive.read(galaxies[0].path), galaxies[0].old);
    EXPECT_EQ(drive.read(galaxies[1].path), "edited\r\n");
    EXPECT_FALSE(drive.exists(galaxies[2].path));
    EXPECT_TRUE(drive.temporaries().empty());
}

TEST_F(Backups, DamagedOldBytesAreNeverPutBack) {
    const std::string path = fix(drive.fs);
    std::string bytes = drive.read(path);
    bytes[bytes.find(std::string(100, 'o'))] = 'X';
    drive.write(path, bytes);
    const SetRestore restore = restoreset(drive.fs, path);
    ASSERT_EQ(restore.galaxies.size(), 3u);
    EXPECT_EQ(restore.galaxies[2].outcome, GalaxyOutcome::damaged);
    EXPECT_EQ(drive.read(galaxies[2].path), galaxies[2].fresh);
    EXPECT_EQ(drive.read(galaxies[0].path), galaxies[0].old);
}

// A fix killed after it committed, before it replaced every galaxy.
TEST_F(Backups, AGalaxyTheFixNeverReplacedCountsAsRestored) {
    BackupWriter set = writer(drive.fs);
    for (const auto& galaxy : galaxies) set.add(galaxy.path, galaxy.old, galaxy.fresh);
    set.commit();
    hostenv::safereplace(drive.fs, galaxies[0].path, galaxies[0].fresh);
    const SetRestore restore = restoreset(drive.fs, set.setpath());
    ASSERT_EQ(restore.galaxies.size(), 3u);
    EXPECT_EQ(restore.galaxies[0].outcome, GalaxyOutcome::restored);
    EXPECT_EQ(restore.galaxies[1].outcome, GalaxyOutcome::alreadyold);
    EXPECT_TRUE(restore.complete());
    for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
}

TEST_F(Backups, ASetCutShortRestoresWhatItHoldsWholeAndNamesTheRest) {
    const std::string path = fix(drive.fs);
    const std::string whole = drive.read(path);
    const std::size_t third = whole.find(std::string(5000, 'o'));
    const std::size_t thirdheader = whole.rfind("PK\x03\x04", third);
    struct Case {
        const char* what;
        std::string bytes;
        SetRestore::Problem problem;
        std::vector<GalaxyOutcome> outcomes;
    };
    using O = GalaxyOutcome;
    using P = SetRestore::Problem;
    const std::vector<Case> cases = {
        {"no central directory",
         whole.substr(0, whole.find("PK\x01\x02")),
         P::none,
         {O::restored, O::restored, O::restored}},
        {"cut inside the last galaxy's bytes",
         whole.substr(0, third + 10),
         P::none,
         {O::restored, O::restored, O::damaged}},
        {"cut before its first galaxy", whole.substr(0, 20), P::empty, {}},
        {"empty", "", P::empty, {}},
        {"garbage after two galaxies",
         whole.substr(0, thirdheader) + std::string(500, '?'),
         P::damaged,
         {O::restored, O::restored}},
        {"not a zip", "hello\r\n", P::notours, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.fresh);
        drive.write(path, c.bytes);
        const SetRestore restore = restoreset(drive.fs, path);
        EXPECT_EQ(restore.problem, c.problem);
        std::vector<GalaxyOutcome> outcomes;
        for (const auto& galaxy : restore.galaxies) outcomes.push_back(galaxy.outcome);
        EXPECT_EQ(outcomes, c.outcomes);
    }
}

TEST_F(Backups, AZipOfAnotherProgramIsNotOurs) {
    drive.makefolder(folder);
    const std::string path = folder + "\\" + stamp + ".zip";
    {
        ZipWriter zip(drive.fs.createappending(path), path, {});
        zip.add("game/a.galaxy", "bytes", "");
        zip.finish();
    }
    RecordingUi ui;
    ui.beginreport();
    EXPECT_FALSE(restorenewest(drive.fs, folder, ui, true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], path +
                                  " is not a galmend backup set, or it is damaged at its start. "
                                  "Nothing was restored.");
    EXPECT_EQ(sets(), std::vector<std::string>{std::string(stamp) + ".zip"});
}

TEST_F(Backups, RestoringTheNewestSetReportsEachGalaxyAndMarksTheSetRestored) {
    fix(drive.fs, "2026-12-06 10-00-00");
    for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
    fix(drive.fs);
    drive.write(galaxies[1].path, "edited\r\n");
    RecordingUi ui;
    ui.beginreport();
    EXPECT_FALSE(restorenewest(drive.fs, folder, ui, true));
    EXPECT_EQ(ui.reports, (std::vector<std::string>{"Restored " + galaxies[0].path,
                                                    "Restored " + galaxies[2].path}));
    // The box names what was left and why; a silent run's report writes the box too.
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Restored 2 of the 3 galaxies in " + std::string(stamp) +
                                       ".zip.\r\nNot restored, changed since the "
                                       "fix: " +
                                       galaxies[1].path});
    EXPECT_EQ(sets(), (std::vector<std::string>{"2026-12-06 10-00-00.zip",
                                                std::string(stamp) + " restored.zip"}));

    // The next restore takes the set before; the window shows the outcome in its box.
    const auto offer = restoreoffer(drive.fs, folder);
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->date, "2026-12-06 10:00:00");
    EXPECT_EQ(offer->galaxies, 3u);
    for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.fresh);
    RecordingUi window;
    EXPECT_TRUE(restorenewest(drive.fs, folder, window, false));
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"Restored 3 of the 3 galaxies in 2026-12-06 10-00-00.zip."});
    for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);

    RecordingUi last;
    last.beginreport();
    EXPECT_TRUE(restorenewest(drive.fs, folder, last, true));
    EXPECT_TRUE(last.messages.empty());
    EXPECT_EQ(last.reports,
              std::vector<std::string>{"There is no backup set to restore in " + folder + "."});
    EXPECT_FALSE(restoreoffer(drive.fs, folder));
}

// A galaxy whose putting back failed stays restorable: the set is not marked.
TEST_F(Backups, AFailedReplacementLeavesTheSetToTryAgain) {
    fix(drive.fs);
    std::filesystem::permissions(drive.host(galaxies[0].path), std::filesystem::perms::owner_read);
    RecordingUi ui;
    EXPECT_FALSE(restorenewest(drive.fs, folder, ui, false));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].starts_with("Restored 2 of the 3 galaxies in " + std::string(stamp) +
                                           ".zip.\r\nNot restored, failed: " + galaxies[0].path +
                                           "\r\n"))
        << ui.messages[0];
    EXPECT_NE(ui.messages[0].find("read-only"), std::string::npos);
    std::filesystem::permissions(drive.host(galaxies[0].path), std::filesystem::perms::owner_all);
    EXPECT_TRUE(restorenewest(drive.fs, folder, ui, false));
    for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
}

// Whatever file operation of a fix fails, once or from then on, every galaxy is its old or
// its new self, and every galaxy replaced comes back with a restore on a healthy disk.
TEST_F(Backups, AFixFailingAtAnyStepLeavesEveryReplacedGalaxyRestorable) {
    for (const bool staged : {false, true}) {
        for (const bool persistent : {false, true}) {
            for (int failat = 1;; ++failat) {
                SCOPED_TRACE(testing::Message() << "failat " << failat << " persistent "
                                                << persistent << " staged " << staged);
                std::filesystem::remove_all(drive.host(folder));
                for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
                FaultyFileSystem faulty(drive.fs, failat, persistent);
                try {
                    if (staged) {
                        stagedfix(faulty);
                    } else {
                        fix(faulty);
                    }
                } catch (const Failure&) {
                }
                std::vector<bool> replaced;
                for (const auto& galaxy : galaxies) {
                    const std::string now = drive.read(galaxy.path);
                    EXPECT_TRUE(now == galaxy.old || now == galaxy.fresh);
                    replaced.push_back(now == galaxy.fresh);
                }
                const auto set = newestunrestored(drive.fs, folder);
                if (!set) {
                    EXPECT_EQ(replaced, std::vector<bool>(galaxies.size(), false));
                } else {
                    const SetRestore restore = restoreset(drive.fs, set->path);
                    for (std::size_t i = 0; i < galaxies.size(); ++i) {
                        if (!replaced[i]) continue;
                        ASSERT_LT(i, restore.galaxies.size());
                        EXPECT_EQ(restore.galaxies[i].outcome, GalaxyOutcome::restored);
                    }
                }
                for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
                if (faulty.failures() == 0) break;
            }
        }
    }
}

// A restore that fails at any step leaves each galaxy old or new, and the set for the next
// restore to finish.
TEST_F(Backups, ARestoreFailingAtAnyStepIsFinishedByTheNext) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE(testing::Message() << "failat " << failat << " persistent " << persistent);
            // The set, and any temporary file a failing disk kept from an earlier round, go.
            for (const char* root : {"C:\\Games", "C:\\users"}) {
                std::filesystem::remove_all(drive.host(root));
            }
            for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
            fix(drive.fs);
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            RecordingUi ui;
            const bool restored = restorenewest(faulty, folder, ui, true);
            EXPECT_EQ(restored, faulty.failures() == 0);
            for (const auto& galaxy : galaxies) {
                const std::string now = drive.read(galaxy.path);
                EXPECT_TRUE(now == galaxy.old || now == galaxy.fresh);
            }
            RecordingUi again;
            EXPECT_TRUE(restorenewest(drive.fs, folder, again, true))
                << ::testing::PrintToString(again.messages);
            for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
            EXPECT_TRUE(drive.temporaries().empty() || faulty.failures() > 1);
            if (faulty.failures() == 0) break;
        }
    }
}

}  // namespace
}  // namespace galmend
