// Undo of tallyhold's changes: "/restore" and the "undo last change" button put back every
// manifest a change removed or replaced and take away what it created, leaving and naming
// any file changed since.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hostenv/backup/undo.h"
#include "hostenv/progress.h"
#include "tallyholdhost.h"

namespace tallyhold {
namespace {

namespace fs = std::filesystem;

constexpr const char* setname = "2026-12-07 19-32-13 run 1.zip";
constexpr const char* outside = "C:\\outside\\precious.txt";

class Undo : public TallyholdHost {
  protected:
    Undo() {
        drive.write(game("Beta.galaxy"), "");
        drive.makefolder(fortrel(""));
    }
    static std::string backups() { return std::string(localapp) + "\\tallyhold backups"; }
    std::optional<int> run(const std::string& args, RecordingUi& recorded) {
        platform.args = args;
        Tallyhold tallyhold{drive.fs, platform, recorded};
        return ending([&] { tallyhold.load(); });
    }
    // What a file holds, or where it leads when it is a link; nothing when nothing is there.
    std::optional<std::string> held(const std::string& path) const {
        if (fs::is_symlink(drive.host(path))) return fs::read_symlink(drive.host(path)).string();
        return drive.exists(path) ? std::optional(drive.read(path)) : std::nullopt;
    }
};

// What the player did to a file between the change and the restore.
enum class Since { untouched, edited, putback, deleted, linked };
// What the restore does with it; the last three leave it, named, and the restore fails.
enum class Outcome { restored, removed, already, changed, gone, link };

TEST_F(Undo, ARestorePutsBackWhatItCanAndLeavesAndNamesWhatWasChangedSince) {
    // Each row: what becomes of a manifest the run removed, of the game's manifest it
    // replaced, and of the one it created where there was none.
    const struct {
        const char* name;
        Since since;
        Outcome removed, replaced, created;
        const char* linkto = "";
    } rows[] = {
        {"untouched", Since::untouched, Outcome::restored, Outcome::restored, Outcome::removed},
        {"edited", Since::edited, Outcome::changed, Outcome::changed, Outcome::changed},
        {"put back by hand", Since::putback, Outcome::already, Outcome::already, Outcome::already},
        {"deleted", Since::deleted, Outcome::restored, Outcome::gone, Outcome::already},
        {"a link", Since::linked, Outcome::link, Outcome::link, Outcome::link, outside},
        {"a link leading nowhere", Since::linked, Outcome::link, Outcome::link, Outcome::link,
         "C:\\outside\\nowhere.txt"},
    };
    const std::string gamemanifest = game("galaxy.manifest");
    // In the walk's order, which is the set's; the player's subfolder one is the one touched.
    const Lines removed{fortrel("galaxy.manifest"), user("a\\galaxy.manifest"),
                        user("galaxy.manifest")};
    const std::string& touched = removed[1];
    drive.write(outside, "precious");
    for (const bool hadgame : {true, false}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(hadgame ? "replaced" : "created") + ", then " + row.name);
            fs::remove_all(drive.host(backups()));
            fs::remove(drive.host(gamemanifest));
            for (const auto& path : removed) drive.write(path, path);
            const auto gamewas = hadgame ? std::optional<std::string>("game") : std::nullopt;
            if (gamewas) drive.write(gamemanifest, *gamewas);
            RecordingUi changing;
            ASSERT_EQ(run("/s", changing), 0);
            for (const auto& [path, was] :
                 {std::pair{touched, std::optional(touched)}, std::pair{gamemanifest, gamewas}}) {
                if (row.since == Since::untouched) continue;
                fs::remove(drive.host(path));
                if (row.since == Since::edited) drive.write(path, "edited");
                if (row.since == Since::putback && was) drive.write(path, *was);
                if (row.since == Since::linked) {
                    fs::create_symlink(drive.host(row.linkto), drive.host(path));
                }
            }
            // A file left must stay as the player left it.
            const auto touchednow = held(touched);
            const auto gamenow = held(gamemanifest);

            RecordingUi restoring;
            const auto end = restore(drive.fs, restoring);
            const Outcome gameoutcome = hadgame ? row.replaced : row.created;
            const std::string said[] = {"Restored ",
                                        "Removed ",
                                        "Already as before the change: ",
                                        "Not restored, changed since the change: ",
                                        "Not restored, gone: ",
                                        "Not restored, it is a link now (to " +
                                            std::string(row.linkto) +
                                            "), and nothing is written through a link: "};
            Lines reported;
            std::string named;
            for (const auto& [path, outcome] :
                 {std::pair{removed[0], Outcome::restored}, std::pair{touched, row.removed},
                  std::pair{removed[2], Outcome::restored}, std::pair{gamemanifest, gameoutcome}}) {
                const std::string line = said[static_cast<int>(outcome)] + path;
                if (outcome >= Outcome::changed) {
                    named += "\r\n" + line;
                } else {
                    reported.push_back(line);
                }
            }
            const int back = 2 + (row.removed == Outcome::restored ? 1 : 0) +
                             (hadgame && gameoutcome == Outcome::restored ? 1 : 0);
            const int already = (row.removed == Outcome::already ? 1 : 0) +
                                (hadgame && gameoutcome == Outcome::already ? 1 : 0);
            std::string count = "Restored " + std::to_string(back) + " of the " +
                                (hadgame ? "4" : "3") + " manifests in " + setname;
            if (already > 0) {
                count += "; " + std::to_string(already) + (already == 1 ? " was" : " were") +
                         " already as before the change";
            }
            count += ".";
            if (named.empty()) reported.push_back(count);
            EXPECT_EQ(restoring.reports, reported);
            EXPECT_EQ(restoring.messages, named.empty() ? Lines{} : Lines{count + named});
            EXPECT_EQ(end, named.empty() ? 0 : 1);

            EXPECT_EQ(drive.read(removed[0]), removed[0]);
            EXPECT_EQ(drive.read(removed[2]), removed[2]);
            EXPECT_EQ(held(touched), row.removed == Outcome::restored ? touched : touchednow);
            EXPECT_EQ(held(gamemanifest), gameoutcome == Outcome::restored  ? gamewas
                                          : gameoutcome == Outcome::removed ? std::nullopt
                                                                            : gamenow);
            EXPECT_EQ(drive.read(outside), "precious");
            EXPECT_TRUE(drive.temporaries().empty());
            fs::remove(drive.host(touched));
        }
    }
}

TEST_F(Undo, TheButtonAsksAboutTheLastChangeAndYesPutsItBack) {
    const std::string date = "the change of 2026-12-07 19:32:13";
    const std::string after = "\r\nA manifest changed since that change is left as it is.";
    const std::string in = std::string(" in ") + setname + ".";
    const struct {
        const char* name;
        Lines before;  // each holding its path
        const char* button;
        std::string question;
        std::string summary;
    } cases[] = {
        {"update, no manifest before",
         {},
         "Command2",
         "Take away the 1 file that " + date + " wrote where there was none?" + after,
         "Restored 0 of the 0 manifests" + in},
        {"update over a manifest",
         {fortrel("galaxy.manifest")},
         "Command2",
         "Put back the 1 manifest that " + date + " removed or renamed?" + after,
         "Restored 1 of the 1 manifest" + in},
        {"removal",
         {fortrel("galaxy.manifest"), game("galaxy.manifest"), user("galaxy.manifest")},
         "Command5",
         "Put back the 3 manifests that " + date + " removed or renamed?" + after,
         "Restored 3 of the 3 manifests" + in},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(drive.host(backups()));
        for (const auto& path : c.before) drive.write(path, path);
        const auto disk = [&] {
            std::vector<std::optional<std::string>> found;
            for (const auto& path : {fortrel("galaxy.manifest"), fortrel("galaxy.manifest.old"),
                                     game("galaxy.manifest"), user("galaxy.manifest")}) {
                found.push_back(held(path));
            }
            return found;
        };
        const auto original = disk();
        RecordingUi recorded;
        platform.args.clear();
        Tallyhold window{drive.fs, platform, recorded};
        std::chrono::milliseconds now{0};
        window.clock = [&] { return now += hostenv::Progress::interval; };
        ASSERT_EQ(ending([&] { window.load(); }), std::nullopt);
        EXPECT_FALSE(window.undobutton.enabled()) << "nothing to undo yet";
        ASSERT_EQ(ending([&] { window.clicked("Command1"); }), std::nullopt);
        EXPECT_FALSE(window.undobutton.enabled()) << "a search changes nothing";
        // While a change or an undo runs, the button is grey.
        std::vector<bool> during;
        recorded.onevents = [&] { during.push_back(window.undobutton.enabled()); };
        ASSERT_EQ(ending([&] { window.clicked(c.button); }), std::nullopt);
        ASSERT_EQ(recorded.messages, Lines{});
        EXPECT_TRUE(window.undobutton.enabled());
        const auto changed = disk();
        ASSERT_NE(changed, original);

        recorded.answer = false;
        ASSERT_EQ(ending([&] { window.clicked("Command6"); }), std::nullopt);
        EXPECT_EQ(recorded.questions, Lines{c.question});
        EXPECT_EQ(disk(), changed) << "no changes nothing";
        EXPECT_TRUE(window.undobutton.enabled());

        recorded.answer = true;
        ASSERT_EQ(ending([&] { window.clicked("Command6"); }), std::nullopt);
        EXPECT_EQ(recorded.questions, (Lines{c.question, c.question}));
        EXPECT_EQ(disk(), original);
        EXPECT_EQ(recorded.messages, Lines{c.summary});
        EXPECT_FALSE(window.undobutton.enabled()) << "its one set is restored";
        EXPECT_FALSE(during.empty());
        EXPECT_EQ(std::count(during.begin(), during.end(), true), 0);
        // A click that still reaches undo finds no set, and says where it looked.
        ASSERT_EQ(ending([&] { window.undobutton_Click(); }), std::nullopt);
        EXPECT_EQ(recorded.messages.back(), hostenv::backup::nosettext(backups()));
        EXPECT_EQ(recorded.questions.size(), 2u);
        for (const auto& path : c.before) fs::remove(drive.host(path));
    }
}

TEST_F(Undo, ARestoreRunsAloneOrNotAtAllAndNeedsTheGameButNoGate) {
    enum class Found { byversion, byfile, nowhere };
    const struct {
        const char* args;
        Found game;
        bool locked;
        int exitcode;
        std::string said;  // the message box, or the last report line of a restore that ended well
        bool back;
    } rows[] = {
        {"/restore /s", Found::byversion, false, 3, "Invalid argument: /s", false},
        {"-RESTORE x", Found::byversion, false, 3, "Invalid argument: x", false},
        {"/s /Restore", Found::byversion, false, 3, "Invalid argument: /Restore", false},
        {"/restore", Found::nowhere, false, 2, "the game was not found at C:\\Games\\Zarn\\",
         false},
        {"/restore", Found::byversion, true, 1, lockedtext, false},
        {"-Restore", Found::byfile, false, 0,
         std::string("Restored 1 of the 1 manifest in ") + setname + ".", true},
        // In the order of the rows: the one set is restored now.
        {"/restore", Found::byversion, false, 0, hostenv::backup::nosettext(backups()), true},
    };
    drive.write(user("galaxy.manifest"), "user");
    RecordingUi changing;
    ASSERT_EQ(run("/s", changing), 0);
    // The game was updated since: a restore is the way back, and passes no gate.
    drive.write("targetzarnver.txt", "1.60.0.0\r\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.args) + (row.locked ? ", locked" : ""));
        platform.versions.clear();
        fs::remove(drive.host(game("Halcyrion.exe")));
        if (row.game == Found::byversion) {
            platform.setversion(game("Halcyrion.exe"), 1, 53, 0, 0);
        }
        if (row.game == Found::byfile) drive.write(game("Halcyrion.exe"), "");
        ScriptedPlatform other;
        const auto held = row.locked ? other.takelock(programname) : nullptr;
        RecordingUi restoring;
        EXPECT_EQ(run(row.args, restoring), row.exitcode);
        if (row.exitcode == 0) {
            EXPECT_TRUE(restoring.messages.empty());
            ASSERT_FALSE(restoring.reports.empty());
            EXPECT_EQ(restoring.reports.back(), row.said);
        } else {
            EXPECT_EQ(restoring.messages, Lines{row.said});
        }
        EXPECT_EQ(drive.exists(user("galaxy.manifest")), row.back);
        EXPECT_EQ(drive.exists(game("galaxy.manifest")), !row.back);
    }
}

TEST_F(Undo, WithoutALocalApplicationDataFolderNoChangeBegins) {
    const struct {
        const char* name;
        const char* args;
        Lines buttons;
    } cases[] = {
        {"silent run", "/s", {}},
        {"removal", "", {"Command5"}},
        {"update", "", {"Command1", "Command2"}},
    };
    const Lines manifests{fortrel("galaxy.manifest"), game("galaxy.manifest")};
    platform.folder = {0x80004005u, ""};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& path : manifests) drive.write(path, path);
        RecordingUi recorded;
        platform.args = c.args;
        Tallyhold window{drive.fs, platform, recorded};
        auto end = ending([&] { window.load(); });
        EXPECT_FALSE(window.undobutton.enabled());
        for (const auto& button : c.buttons) end = ending([&] { window.clicked(button); });
        EXPECT_EQ(end, 1);
        EXPECT_EQ(recorded.messages,
                  Lines{"tallyhold keeps the old manifests in the local application-data folder, "
                        "which Windows did not give: without it there is no undo, so nothing was "
                        "changed."});
        for (const auto& path : manifests) EXPECT_EQ(drive.read(path), path);
        EXPECT_FALSE(drive.exists(fortrel("galaxy.manifest.old")));
        EXPECT_FALSE(drive.exists(backups()));
        EXPECT_TRUE(drive.temporaries().empty());
    }
}

}  // namespace
}  // namespace tallyhold
