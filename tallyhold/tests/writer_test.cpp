// tallyhold's silent run and the manifest writer under failing disks: every manifest is
// either the old one or the new one, complete, and messages say what changed.
#include <gtest/gtest.h>

#include <algorithm>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "tallyholdhost.h"

namespace tallyhold {
namespace {

namespace fs = std::filesystem;

class ManagerWrites : public TallyholdHost {};

TEST_F(ManagerWrites, ASilentRunRemovesSearchesAndWritesIntoTheGameFolder) {
    drive.write(game("galaxy.manifest"), "game");
    drive.write(fortrel("galaxy.manifest"), "expansion");
    drive.write(fortrel("galaxy.manifest.old"), "expansion old");
    drive.write(user("galaxy.manifest"), "user");
    drive.touch({fortrel("Alpha.galaxy"), game("Beta.galaxy"), user("Gamma.galaxy")});
    platform.args = "/s";
    // The removal button stays enabled in a silent run; a click mid-walk does nothing.
    ui.onevents = [&] { form.clicked("Command5"); };
    EXPECT_EQ(load(), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(form.manifestpaths, (Lines{fortrel("galaxy.manifest"), game("galaxy.manifest"),
                                         user("galaxy.manifest")}));
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"Alpha", "Beta", "Gamma"}));
    EXPECT_FALSE(drive.exists(game("galaxy.manifest.old")))
        << "removed before writing, so nothing kept";
    EXPECT_FALSE(drive.exists(fortrel("galaxy.manifest")));
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest.old")), "expansion old");
    EXPECT_FALSE(drive.exists(user("galaxy.manifest")));
    EXPECT_EQ(form.foundcountlabel.caption(), " 3 galaxies found");
    EXPECT_EQ(form.removalbox.text(), "killing " + user("galaxy.manifest"));
    EXPECT_EQ(ui.reports, std::vector<std::string>{"Wrote " + game("galaxy.manifest") +
                                                   " with 3 galaxies; 3 earlier manifests were "
                                                   "removed."});
}

// A run that cannot write the new manifest must not have removed the old ones first.
class Crowded : public hostenv::posix::PosixFileSystem {
  public:
    using PosixFileSystem::PosixFileSystem;
    bool createfile(const std::string& path, std::string_view bytes) override {
        if (full) throw hostenv::Failure("Cannot write " + path + "\r\nDisk full.");
        return PosixFileSystem::createfile(path, bytes);
    }
    bool full = true;
};

TEST_F(ManagerWrites, ASilentRunThatCannotWriteRemovesNothing) {
    drive.write(game("galaxy.manifest"), "game");
    drive.write(fortrel("galaxy.manifest"), "expansion");
    drive.write(user("galaxy.manifest"), "user");
    drive.write(game("Beta.galaxy"), "");
    Crowded crowded({{'C', drive.root()}}, TempDrive::cwd);
    platform.args = "/s";
    RecordingUi recorded;
    Tallyhold tallyhold{crowded, platform, recorded};
    EXPECT_EQ(ending([&] { tallyhold.load(); }), 1);
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_EQ(recorded.messages[0].substr(0, recorded.messages[0].find("\r\n")),
              "Cannot write " + game("galaxy.manifest") + "; nothing was changed.");
    EXPECT_NE(recorded.messages[0].find("Disk full."), std::string::npos);
    EXPECT_EQ(drive.read(game("galaxy.manifest")), "game");
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest")), "expansion");
    EXPECT_EQ(drive.read(user("galaxy.manifest")), "user");
    EXPECT_TRUE(drive.temporaries().empty());
}

// A manifest another program holds does not keep the game from its new one; a game manifest
// that cannot be replaced stops the run before anything changes.
TEST_F(ManagerWrites, AManifestThatCannotBeRemovedDoesNotKeepTheNewOneFromItsPlace) {
    const Lines manifests{fortrel("galaxy.manifest"), game("galaxy.manifest"),
                          user("galaxy.manifest")};
    for (const auto& held : manifests) {
        SCOPED_TRACE(held);
        const bool game = held == manifests[1];
        for (const auto& path : manifests) {
            if (drive.exists(path)) fs::permissions(drive.host(path), fs::perms::owner_all);
            drive.write(path, path);
        }
        drive.write(this->game("Beta.galaxy"), "");
        fs::permissions(drive.host(held), fs::perms::owner_read);
        platform.args = "/s";
        RecordingUi recorded;
        Tallyhold tallyhold{drive.fs, platform, recorded};
        EXPECT_EQ(ending([&] { tallyhold.load(); }), 1);
        for (const auto& path : manifests) {
            if (game || path == held) {
                EXPECT_EQ(drive.read(path), path);
            } else if (path == manifests[1]) {
                EXPECT_EQ(drive.read(path), manifesttext({"Beta"}));
            } else {
                EXPECT_FALSE(drive.exists(path));
            }
        }
        EXPECT_FALSE(drive.exists(this->game("galaxy.manifest.old")));
        EXPECT_EQ(recorded.reports,
                  game ? std::vector<std::string>{}
                       : std::vector<std::string>{"Wrote " + manifests[1] +
                                                  " with 1 galaxy; 2 earlier manifests were "
                                                  "removed."});
        EXPECT_EQ(recorded.messages,
                  std::vector<std::string>{
                      game ? "Cannot write " + held + "; nothing was changed.\r\nCannot replace " +
                                 held + "\r\nThe file is read-only."
                           : "Wrote " + manifests[1] +
                                 ", but 1 earlier manifest could not be removed:\r\nCannot "
                                 "delete " +
                                 held + "\r\nThe file is read-only."});
        EXPECT_TRUE(drive.temporaries().empty());
        fs::permissions(drive.host(held), fs::perms::owner_all);
    }
}

TEST_F(ManagerWrites, AFolderInTheNewManifestsPlaceStopsTheRunBeforeAnyRemoval) {
    drive.makefolder(game("galaxy.manifest"));
    drive.write(fortrel("galaxy.manifest"), "expansion");
    drive.write(user("galaxy.manifest"), "user");
    drive.write(game("Beta.galaxy"), "");
    platform.args = "/s";
    EXPECT_EQ(load(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Cannot write " + game("galaxy.manifest") +
                                  "; nothing was changed.\r\n" + game("galaxy.manifest") +
                                  " is a folder. Remove or rename it, then run again.");
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest")), "expansion");
    EXPECT_EQ(drive.read(user("galaxy.manifest")), "user");
    EXPECT_TRUE(drive.temporaries().empty());
}

// A manifest that is a link could lead outside both folders: it is left, named, and the run
// fails, so that a script knows not every manifest is gone.
TEST_F(ManagerWrites, AManifestThatIsALinkIsLeftNamedAndTheRunFails) {
    drive.write("C:\\outside\\fortrel.txt", "outside fortrel");
    drive.write(user("galaxy.manifest"), "user");
    drive.write(game("Beta.galaxy"), "");
    drive.makefolder(fortrel(""));
    fs::create_symlink(drive.host("C:\\outside\\fortrel.txt"),
                       drive.host(fortrel("galaxy.manifest")));
    platform.args = "/s";
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(drive.read("C:\\outside\\fortrel.txt"), "outside fortrel");
    EXPECT_FALSE(drive.exists(user("galaxy.manifest")));
    EXPECT_TRUE(fs::is_symlink(drive.host(fortrel("galaxy.manifest"))));
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"Beta"}));
    EXPECT_EQ(ui.reports.at(0), "Wrote " + game("galaxy.manifest") +
                                    " with 1 galaxy; 1 earlier manifest was removed.");
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"left " + fortrel("galaxy.manifest") +
                                       " alone: it is a link to " + "C:\\outside\\fortrel.txt"});
}

// Wine moves what a link leads to, not the link: the link that stands where the new manifest
// goes is neither moved aside nor written over, and nothing else changes either.
TEST_F(ManagerWrites, ALinkWhereTheNewManifestGoesStopsTheWriteAndChangesNothing) {
    const struct {
        const char* name;
        bool silent;
        std::string manifest;
        bool targetthere;
    } cases[] = {
        {"silent run, game folder", true, game("galaxy.manifest"), true},
        {"update, Fortrel", false, fortrel("galaxy.manifest"), true},
        {"update, Fortrel, leading nowhere", false, fortrel("galaxy.manifest"), false},
    };
    const std::string target = "C:\\outside\\precious.txt";
    const Lines others{game("galaxy.manifest"), fortrel("galaxy.manifest"),
                       user("galaxy.manifest")};
    drive.write(game("Beta.galaxy"), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(drive.host("C:\\outside"));
        if (c.targetthere) drive.write(target, "precious");
        for (const auto& path : others) {
            fs::remove(drive.host(path));
            if (path != c.manifest) drive.write(path, path);
        }
        platform.args = c.silent ? "/s" : "";
        RecordingUi recorded;
        Tallyhold tallyhold{drive.fs, platform, recorded};
        std::optional<int> end;
        if (c.silent) {
            fs::create_symlink(drive.host(target), drive.host(c.manifest));
            end = ending([&] { tallyhold.load(); });
        } else {
            ASSERT_EQ(ending([&] { tallyhold.load(); }), std::nullopt);
            ASSERT_EQ(ending([&] { tallyhold.clicked("Command1"); }), std::nullopt);
            // After the search: the link is asked about when the manifest is written.
            fs::create_symlink(drive.host(target), drive.host(c.manifest));
            end = ending([&] { tallyhold.clicked("Command2"); });
        }
        EXPECT_EQ(end, 1);
        EXPECT_EQ(
            recorded.messages,
            std::vector<std::string>{"Cannot write " + c.manifest + "; nothing was changed.\r\n" +
                                     c.manifest + " is a link to " + target +
                                     ", which tallyhold leaves alone. Remove the link, "
                                     "then write the manifest again."});
        EXPECT_TRUE(recorded.reports.empty());
        EXPECT_EQ(fs::read_symlink(drive.host(c.manifest)), drive.host(target));
        EXPECT_EQ(drive.exists(target), c.targetthere);
        if (c.targetthere) {
            EXPECT_EQ(drive.read(target), "precious");
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(drive.host(c.manifest + ".old"))));
        for (const auto& path : others) {
            if (path != c.manifest) {
                EXPECT_EQ(drive.read(path), path);
            }
        }
        EXPECT_TRUE(drive.temporaries().empty());
        fs::remove(drive.host(c.manifest));
    }
}

// Asks, at each rename and removal, whether another tallyhold could take the lock now.
class LockProbing : public hostenv::posix::PosixFileSystem {
  public:
    using PosixFileSystem::PosixFileSystem;
    void rename(const std::string& from, const std::string& to) override {
        probe();
        PosixFileSystem::rename(from, to);
    }
    void remove(const std::string& path) override {
        probe();
        PosixFileSystem::remove(path);
    }
    std::vector<bool> othertook;

  private:
    void probe() { othertook.push_back(ScriptedPlatform().takelock(programname) != nullptr); }
};

TEST_F(ManagerWrites, OneTallyholdAtATimeChangesTheManifests) {
    const struct {
        const char* name;
        bool silent;
        const char* button;
    } cases[] = {
        {"silent run", true, ""},
        {"update", false, "Command2"},
        {"removal", false, "Command5"},
    };
    const Lines manifests{game("galaxy.manifest"), fortrel("galaxy.manifest"),
                          user("galaxy.manifest")};
    const std::string locked =
        "Another tallyhold is changing the manifests now; nothing was changed. Try again when "
        "it has ended.";
    drive.write(game("Beta.galaxy"), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LockProbing probing({{'C', drive.root()}}, TempDrive::cwd);
        platform.args = c.silent ? "/s" : "";
        bool updateenabled = false;
        // A run of its own: the exit code when it ended.
        const auto run = [&](RecordingUi& recorded) {
            for (const auto& path : manifests) drive.write(path, path);
            fs::remove(drive.host(fortrel("galaxy.manifest.old")));
            probing.othertook.clear();
            Tallyhold tallyhold{probing, platform, recorded};
            if (c.silent) return ending([&] { tallyhold.load(); });
            EXPECT_EQ(ending([&] { tallyhold.load(); }), std::nullopt);
            EXPECT_EQ(ending([&] { tallyhold.clicked("Command1"); }), std::nullopt);
            const auto end = ending([&] { tallyhold.clicked(c.button); });
            updateenabled = tallyhold.updatebutton.enabled();
            return end;
        };
        {
            ScriptedPlatform other;
            const auto held = other.takelock(programname);
            ASSERT_NE(held, nullptr);
            RecordingUi refused;
            EXPECT_EQ(run(refused), c.silent ? std::optional<int>(1) : std::nullopt);
            EXPECT_EQ(refused.messages, std::vector<std::string>{locked});
            EXPECT_TRUE(probing.othertook.empty()) << "nothing renamed or removed";
            for (const auto& path : manifests) EXPECT_EQ(drive.read(path), path);
            EXPECT_TRUE(drive.temporaries().empty());
            if (!c.silent) {
                EXPECT_TRUE(updateenabled) << "the update can be tried again";
            }
        }
        RecordingUi recorded;
        EXPECT_EQ(run(recorded), c.silent ? std::optional<int>(0) : std::nullopt);
        EXPECT_TRUE(recorded.messages.empty());
        EXPECT_FALSE(probing.othertook.empty());
        EXPECT_EQ(std::count(probing.othertook.begin(), probing.othertook.end(), true), 0)
            << "the lock is held through the whole change";
        EXPECT_NE(ScriptedPlatform().takelock(programname), nullptr) << "and let go after it";
    }
}

TEST_F(ManagerWrites, TheRemovalButtonLeavesALinkAndSaysSo) {
    EXPECT_EQ(load(), std::nullopt);
    drive.write("C:\\outside\\precious.txt", "precious");
    drive.write(game("galaxy.manifest"), "game");
    fs::create_symlink(drive.host("C:\\outside\\precious.txt"),
                       drive.host(user("galaxy.manifest")));
    EXPECT_EQ(click("Command5"), std::nullopt);
    EXPECT_FALSE(drive.exists(game("galaxy.manifest")));
    EXPECT_EQ(drive.read("C:\\outside\\precious.txt"), "precious");
    EXPECT_EQ(form.manifestsremoved, 1u);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"left " + user("galaxy.manifest") +
                                       " alone: it is a link to " + "C:\\outside\\precious.txt"});
}

TEST_F(ManagerWrites, WritingAManifestRemovesTheTemporaryFilesOfKilledRuns) {
    drive.write(game("~tallyhold-77-3.tmp"), "half");
    drive.write(fortrel("~tallyhold-77-4.tmp"), "half");
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_FALSE(drive.exists(game("~tallyhold-77-3.tmp")));
    EXPECT_TRUE(drive.exists(fortrel("~tallyhold-77-4.tmp")))
        << "only the folder written to is cleaned";
}

// Whatever operation of the writer fails, once or from then on, the manifest is the old one or
// the new one, complete, and the restore that follows brings back the folder as it was.
TEST_F(ManagerWrites, EveryFailingWriterOperationLeavesTheOldManifestOrTheNewOne) {
    const std::string oldmanifest = "TXT\r\nfileCount  1 \r\nfileName \"Old\"\r\n\r\n";
    const std::string newmanifest = manifesttext({"Alpha", "Beta"});
    drive.write(game("Halcyrion.exe"), "");
    int runs = 0;
    for (const bool hadmanifest : {false, true}) {
        for (const bool persistent : {false, true}) {
            for (int failat = 1;; ++failat) {
                SCOPED_TRACE(std::string(hadmanifest ? "with" : "without") + " a manifest, " +
                             (persistent ? "from operation " : "operation ") +
                             std::to_string(failat));
                fs::remove(drive.host(game("galaxy.manifest")));
                fs::remove(drive.host(game("galaxy.manifest.old")));
                fs::remove_all(drive.host(std::string(localapp) + "\\tallyhold backups"));
                if (hadmanifest) drive.write(game("galaxy.manifest"), oldmanifest);
                hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, persistent);
                RecordingUi recorded;
                Tallyhold tallyhold{faulty, platform, recorded};
                tallyhold.galaxynames = {"Alpha", "Beta"};
                tallyhold.localappfolder = localapp;
                bool failed = false;
                try {
                    tallyhold.writemanifest(game(""));
                } catch (const hostenv::Failure& failure) {
                    failed = true;
                    const std::string what = failure.what();
                    EXPECT_NE(what.find("Injected fault: "), std::string::npos) << what;
                }
                ++runs;
                const bool cleanupfailed = persistent && faulty.failures() > 1;
                const std::string now = drive.exists(game("galaxy.manifest"))
                                            ? drive.read(game("galaxy.manifest"))
                                            : std::string("(none)");
                const bool old = drive.exists(game("galaxy.manifest.old"));
                // A failure the write does without (the clean-up of earlier runs' files,
                // pruning older sets) is none of its own; a success is the new manifest in
                // place with the previous one kept.
                EXPECT_TRUE(faulty.failures() > 0 || !failed);
                if (!failed) {
                    EXPECT_EQ(now, newmanifest);
                }
                if (now == newmanifest) {
                    EXPECT_EQ(old, hadmanifest);
                } else {
                    EXPECT_EQ(now, hadmanifest ? oldmanifest : "(none)");
                    // Only when taking its copy away failed too.
                    EXPECT_TRUE(!old || (hadmanifest && cleanupfailed));
                }
                if (old) {
                    EXPECT_EQ(drive.read(game("galaxy.manifest.old")), oldmanifest);
                }
                for (const auto& left : drive.temporaries()) {
                    EXPECT_TRUE(cleanupfailed) << "left behind: " << left;
                    fs::remove(left);
                }
                RecordingUi restoring;
                restore(drive.fs, restoring);
                EXPECT_EQ(drive.exists(game("galaxy.manifest")), hadmanifest);
                if (hadmanifest) {
                    EXPECT_EQ(drive.read(game("galaxy.manifest")), oldmanifest);
                }
                EXPECT_FALSE(drive.exists(game("galaxy.manifest.old")));
                if (faulty.failures() == 0) break;
            }
        }
    }
    EXPECT_GT(runs, 10);
}

// Whatever operation of a silent run fails, the game has its new manifest or the run says it
// was not written; every manifest is as before or as the run left it, and the restore that
// follows puts every one back.
TEST_F(ManagerWrites, EveryFailingSilentRunStepLeavesTheGameANewManifestOrSaysItWasNotWritten) {
    const Lines others{fortrel("galaxy.manifest"), user("galaxy.manifest")};
    const std::string manifest = game("galaxy.manifest");
    drive.write(game("Beta.galaxy"), "");
    drive.write(game("Halcyrion.exe"), "");
    for (int failat = 1;; ++failat) {
        SCOPED_TRACE("operation " + std::to_string(failat));
        for (const auto& path : others) drive.write(path, path);
        drive.write(manifest, "game");
        fs::remove_all(drive.host(std::string(localapp) + "\\tallyhold backups"));
        hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, false);
        platform.args = "/s";
        RecordingUi recorded;
        Tallyhold tallyhold{faulty, platform, recorded};
        const auto end = ending([&] { tallyhold.load(); });
        const bool written = drive.read(manifest) == manifesttext({"Beta"});
        EXPECT_TRUE(written || drive.read(manifest) == "game");
        // A look the run does without (whether Windows is 64-bit, the clean-up of earlier runs'
        // files, pruning older sets) may fail unseen; anything else ends the run saying so,
        // and why: after the new manifest is in place, a removal or the set's end that failed.
        if (end == 1) {
            ASSERT_EQ(recorded.messages.size(), 1u);
            const std::string& said = recorded.messages[0];
            EXPECT_NE(said.find("Injected fault: "), std::string::npos) << said;
            EXPECT_EQ(said.starts_with("Wrote " + manifest + ", but") ||
                          said.starts_with("Cannot finish the backup set "),
                      written)
                << said;
        } else {
            EXPECT_EQ(end, 0);
            EXPECT_TRUE(written) << "a success is the new manifest in place";
        }
        for (const auto& path : others) {
            if (drive.exists(path)) {
                EXPECT_EQ(drive.read(path), path);
            }
        }
        EXPECT_TRUE(drive.temporaries().empty());
        RecordingUi restoring;
        // A set whose end the run could not write is named incomplete, and restores all the same.
        if (restore(drive.fs, restoring) != 0) {
            ASSERT_EQ(restoring.messages.size(), 1u);
            EXPECT_NE(restoring.messages[0].find(" is incomplete: "), std::string::npos)
                << restoring.messages[0];
        }
        EXPECT_EQ(drive.read(manifest), "game");
        for (const auto& path : others) EXPECT_EQ(drive.read(path), path);
        EXPECT_FALSE(drive.exists(game("galaxy.manifest.old")));
        if (faulty.failures() == 0) break;
    }
}

// Whatever operation of the removal button fails, each manifest is whole or gone, and the
// restore that follows puts back every one removed.
TEST_F(ManagerWrites, EveryFailingRemovalLeavesEachManifestWholeOrGone) {
    const Lines manifests{fortrel("galaxy.manifest"), game("galaxy.manifest"),
                          user("a\\galaxy.manifest"), user("galaxy.manifest")};
    drive.write(game("Halcyrion.exe"), "");
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(failat));
            for (const auto& path : manifests) drive.write(path, path);
            drive.write(game("galaxy.manifest.old"), "old");
            fs::remove_all(drive.host(std::string(localapp) + "\\tallyhold backups"));
            hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, persistent);
            RecordingUi recorded;
            Tallyhold tallyhold{faulty, platform, recorded};
            tallyhold.galaxyfolders = {game(""), userfolder};
            tallyhold.localappfolder = localapp;
            const auto end = ending([&] { tallyhold.clicked("Command5"); });
            if (end) {
                EXPECT_EQ(end, 1);
                ASSERT_EQ(recorded.messages.size(), 1u);
                EXPECT_NE(recorded.messages[0].find("Injected fault: "), std::string::npos)
                    << recorded.messages[0];
            }
            // The deletions run in the walk's order and stop at the first failure; pruning
            // older sets may fail unseen.
            bool kept = false;
            for (const auto& path : manifests) {
                kept = kept || drive.exists(path);
                EXPECT_EQ(drive.exists(path), kept) << path;
                if (kept) {
                    EXPECT_EQ(drive.read(path), path);
                }
            }
            EXPECT_TRUE(!kept || end) << "a manifest is left only by a failure";
            EXPECT_EQ(drive.read(game("galaxy.manifest.old")), "old");
            RecordingUi restoring;
            restore(drive.fs, restoring);
            for (const auto& path : manifests) EXPECT_EQ(drive.read(path), path);
            if (faulty.failures() == 0) break;
        }
    }
}

}  // namespace
}  // namespace tallyhold
