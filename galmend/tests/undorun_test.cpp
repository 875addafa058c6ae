// Undo as a run of the program: one fix or restore at a time, the question and the answer
// about the same set, and stopping a fix or a restore with "exit".
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "galaxysets.h"
#include "galmendhost.h"
#include "hostenv/backup/zipfile.h"
#include "hostenv/failure.h"
#include "hostenv/posix/posixfilesystem.h"

namespace galmend {
namespace {

constexpr const char* oldgalaxy = "begin\r\nversion 3\r\nplanet\r\nowner 2\r\nmoons 11\r\nend\r\n";
constexpr const char* newgalaxy =
    "begin\r\nversion 4\r\nplanet\r\nowner 2\r\nmoons 11\r\nrings 0\r\nend\r\n";
constexpr int galaxies = 12;

// A user who does something while a question is open.
class AskedUi : public RecordingUi {
  public:
    bool question(const std::string& text) override {
        if (whileasked) std::exchange(whileasked, nullptr)();
        return RecordingUi::question(text);
    }
    std::function<void()> whileasked;
};

class UndoRun : public GalmendHost {
  protected:
    UndoRun() {
        for (int i = 0; i < galaxies; ++i) drive.write(galaxy(i), oldgalaxy);
    }
    static std::string galaxy(int i) {
        return "C:\\Games\\Zarn\\map" + std::to_string(100 + i) + ".galaxy";
    }
    std::string backups() const {
        return backupsfolder(galaxysets(), "C:\\users\\player\\AppData\\Local");
    }

    std::optional<int> run(const std::string& args, RecordingUi& recorded) {
        platform.args = args;
        Galmend galmend{drive.fs, platform, recorded};
        return hostenv::testing::ending([&] { galmend.load(); });
    }
    int count(const char* bytes) {
        int n = 0;
        for (int i = 0; i < galaxies; ++i) n += drive.read(galaxy(i)) == bytes ? 1 : 0;
        return n;
    }
    std::vector<std::string> sets() const { return drive.names(backups()); }
};

TEST_F(UndoRun, WhileAnotherGalmendFixesOrRestoresNothingElseChanges) {
    const std::string busy =
        "Another galmend is fixing or restoring galaxies now; nothing was changed. Try again "
        "when it has ended.";
    RecordingUi first;
    ASSERT_EQ(run("/s", first), 0);
    ScriptedPlatform other;
    const auto held = other.takelock("galmend");
    ASSERT_TRUE(held);
    for (const char* args : {"/s", "/restore"}) {
        SCOPED_TRACE(args);
        RecordingUi second;
        EXPECT_EQ(run(args, second), 1);
        EXPECT_EQ(second.messages, std::vector<std::string>{busy});
        EXPECT_EQ(count(newgalaxy), galaxies);
    }
    // The window says so and stays open, for fix and undo alike.
    platform.args.clear();
    ASSERT_EQ(load(), std::nullopt);
    ASSERT_EQ(click("Command1"), std::nullopt);
    for (const char* button : {"Command2", "Command6"}) {
        SCOPED_TRACE(button);
        ui.messages.clear();
        EXPECT_EQ(click(button), std::nullopt);
        EXPECT_EQ(ui.messages, std::vector<std::string>{busy});
    }
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(count(newgalaxy), galaxies);
    EXPECT_EQ(sets().size(), 1u);
}

TEST_F(UndoRun, YesRestoresTheSetTheQuestionNamedAndAChangedSetIsAskedAgain) {
    RecordingUi fixing;
    ASSERT_EQ(run("/s", fixing), 0);
    AskedUi asked;
    platform.args.clear();
    Galmend window{drive.fs, platform, asked};
    ASSERT_EQ(hostenv::testing::ending([&] { window.load(); }), std::nullopt);
    // A silent fix started while the question is open finds the window's lock.
    asked.whileasked = [&] {
        for (int i = 0; i < galaxies; ++i) drive.write(galaxy(i), oldgalaxy);
        RecordingUi second;
        EXPECT_EQ(run("/s", second), 1);
        // The player removes the set by hand meanwhile: the question is asked again of the
        // set that is newest now, or undo says there is none.
        std::filesystem::remove_all(drive.host(backups()));
    };
    ASSERT_EQ(hostenv::testing::ending([&] { window.clicked("Command6"); }), std::nullopt);
    ASSERT_EQ(asked.questions.size(), 1u);
    ASSERT_FALSE(asked.messages.empty());
    EXPECT_NE(asked.messages[0].find("changed while you were asked"), std::string::npos)
        << asked.messages[0];
    EXPECT_EQ(count(oldgalaxy), galaxies) << "nothing was written over the player's galaxies";
}

TEST_F(UndoRun, ExitOrClosingTheWindowDuringAFixLeavesASetAnyZipReaderOpens) {
    const std::pair<const char*, std::function<void(Galmend&)>> stops[] = {
        {"exit", [](Galmend& window) { window.clicked("Command3"); }},
        {"closing the window, or Alt+F4", [](Galmend& window) { window.closed(); }},
    };
    for (const auto& [how, stop] : stops) {
        SCOPED_TRACE(how);
        for (int i = 0; i < galaxies; ++i) drive.write(galaxy(i), oldgalaxy);
        std::filesystem::remove_all(drive.host(backups()));
        RecordingUi window;
        Galmend fix{drive.fs, platform, window};
        std::chrono::milliseconds now{0};
        fix.clock = [&] { return now += hostenv::Progress::interval; };
        platform.args.clear();
        ASSERT_EQ(hostenv::testing::ending([&] { fix.load(); }), std::nullopt);
        ASSERT_EQ(hostenv::testing::ending([&] { fix.clicked("Command1"); }), std::nullopt);
        int steps = 0;
        window.onevents = [&] {
            if (++steps == 3) stop(fix);
        };
        EXPECT_EQ(hostenv::testing::ending([&] { fix.clicked("Command2"); }), 0);
        const int rewritten = count(newgalaxy);
        ASSERT_GT(rewritten, 0);
        ASSERT_LT(rewritten, galaxies);
        ASSERT_EQ(sets().size(), 1u);
        const ZipListing listing = listzip(drive.fs, backups() + "\\" + sets()[0]);
        EXPECT_EQ(listing.end, ZipListing::End::complete);
        RecordingUi restoring;
        EXPECT_EQ(run("/restore", restoring), 0) << ::testing::PrintToString(restoring.messages);
        EXPECT_EQ(count(oldgalaxy), galaxies);
    }
}

TEST_F(UndoRun, ExitAtAnyPointOfAWindowUndoLeavesEveryGalaxyWholeAndTheNextUndoFinishesIt) {
    for (int stopat = 1; stopat <= galaxies + 1; ++stopat) {
        SCOPED_TRACE("exit at event " + std::to_string(stopat));
        for (int i = 0; i < galaxies; ++i) drive.write(galaxy(i), oldgalaxy);
        std::filesystem::remove_all(drive.host(backups()));
        RecordingUi fixing;
        ASSERT_EQ(run("/s", fixing), 0);
        RecordingUi window;
        Galmend undo{drive.fs, platform, window};
        std::chrono::milliseconds now{0};
        undo.clock = [&] { return now += hostenv::Progress::interval; };
        platform.args.clear();
        ASSERT_EQ(hostenv::testing::ending([&] { undo.load(); }), std::nullopt);
        int events = 0;
        window.onevents = [&] {
            // Clicks aimed at the busy window are dropped; only "exit" gets through.
            undo.clicked("Command1");
            if (++events == stopat) undo.clicked("Command3");
        };
        const auto ended = hostenv::testing::ending([&] { undo.clicked("Command6"); });
        const int back = count(oldgalaxy);
        EXPECT_EQ(back + count(newgalaxy), galaxies);
        EXPECT_TRUE(drive.temporaries().empty());
        if (ended && back < galaxies) {
            EXPECT_EQ(*ended, 0);
            EXPECT_FALSE(sets()[0].ends_with(" restored.zip")) << "stopped: left for the next";
        }
        RecordingUi again;
        EXPECT_EQ(run("/restore", again), 0) << ::testing::PrintToString(again.messages);
        EXPECT_EQ(count(oldgalaxy), galaxies);
    }
}

TEST_F(UndoRun, NamesWindowsForbidsAreRewrittenAndRestoredAndOneNoNameReachesIsNamed) {
    const std::string quote = "C:\\Games\\Zarn\\q\"uote.galaxy";
    const std::string linefeed = "C:\\Games\\Zarn\\line\nfeed.galaxy";
    const std::string tab = "C:\\Games\\Zarn\\t\tab.galaxy";
    for (const auto& path : {quote, linefeed, tab}) drive.write(path, oldgalaxy);
    // As under Wine, where a tab keeps even the short name from opening the file.
    hostenv::testing::UnreadableFiles unreachable(drive.root(), {tab},
                                                  "The filename is not valid.");
    RecordingUi fixing;
    platform.args = "/s";
    Galmend fix{unreachable, platform, fixing};
    EXPECT_EQ(hostenv::testing::ending([&] { fix.load(); }), 1);
    EXPECT_EQ(drive.read(quote), newgalaxy);
    EXPECT_EQ(drive.read(linefeed), newgalaxy);
    EXPECT_EQ(drive.read(tab), oldgalaxy);
    EXPECT_EQ(count(newgalaxy), galaxies) << "the others are rewritten all the same";
    const auto& reports = fixing.reports;
    EXPECT_NE(
        std::find(reports.begin(), reports.end(), "Rewrote C:\\Games\\Zarn\\line\\x0Afeed.galaxy"),
        reports.end())
        << ::testing::PrintToString(reports);
    ASSERT_EQ(fixing.messages.size(), 1u);
    EXPECT_NE(fixing.messages[0].find("C:\\Games\\Zarn\\t\\x09ab.galaxy"), std::string::npos)
        << fixing.messages[0];

    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 0) << ::testing::PrintToString(restoring.messages);
    EXPECT_EQ(drive.read(quote), oldgalaxy);
    EXPECT_EQ(drive.read(linefeed), oldgalaxy);
    EXPECT_NE(std::find(restoring.reports.begin(), restoring.reports.end(),
                        "Restored C:\\Games\\Zarn\\line\\x0Afeed.galaxy"),
              restoring.reports.end());
}

// A drive whose sets take their galaxies but not their end: a full disk at the last write.
class NoSetEnds : public hostenv::posix::PosixFileSystem {
  public:
    explicit NoSetEnds(const std::filesystem::path& root)
        : PosixFileSystem({{'C', root}}, TempDrive::cwd) {}
    std::unique_ptr<hostenv::AppendFile> createappending(const std::string& path) override {
        auto inner = PosixFileSystem::createappending(path);
        if (!inner) return inner;
        return std::make_unique<Ending>(std::move(inner));
    }

  private:
    class Ending : public hostenv::AppendFile {
      public:
        explicit Ending(std::unique_ptr<hostenv::AppendFile> inner) : inner_(std::move(inner)) {}
        void append(std::string_view bytes) override {
            if (bytes.starts_with("PK\1\2")) throw hostenv::Failure("There is not enough space.");
            inner_->append(bytes);
        }
        void flush() override { inner_->flush(); }

      private:
        std::unique_ptr<hostenv::AppendFile> inner_;
    };
};

TEST_F(UndoRun, ASetWhoseEndCannotBeWrittenIsNamedIncompleteAfterTheReportAndStillRestores) {
    NoSetEnds full(drive.root());
    RecordingUi fixing;
    platform.args = "/s";
    Galmend fix{full, platform, fixing};
    EXPECT_EQ(hostenv::testing::ending([&] { fix.load(); }), 1);
    EXPECT_EQ(count(newgalaxy), galaxies);
    ASSERT_EQ(fixing.reports.size(), static_cast<std::size_t>(galaxies) + 2)
        << ::testing::PrintToString(fixing.reports);
    EXPECT_EQ(fixing.reports[galaxies], "Rewrote 12 of the 12 galaxies found.");
    ASSERT_EQ(fixing.messages.size(), 1u);
    EXPECT_NE(fixing.messages[0].find("it is incomplete, but galmend /restore can still put back"),
              std::string::npos)
        << fixing.messages[0];
    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 1) << "a set without its end is named incomplete";
    EXPECT_EQ(count(oldgalaxy), galaxies);
}

TEST_F(UndoRun, ABackupFolderThatIsALinkIsRefusedByFixAndRestoreNamingIt) {
    drive.makefolder("C:\\elsewhere");
    std::filesystem::create_directory_symlink(drive.host("C:\\elsewhere"), drive.host(backups()));
    for (const char* args : {"/s", "/restore"}) {
        SCOPED_TRACE(args);
        RecordingUi refused;
        EXPECT_EQ(run(args, refused), 1);
        ASSERT_FALSE(refused.messages.empty());
        EXPECT_NE(refused.messages.back().find(backups() + " is a link to"), std::string::npos)
            << refused.messages.back();
        EXPECT_EQ(count(oldgalaxy), galaxies);
        EXPECT_TRUE(drive.names("C:\\elsewhere").empty());
    }
}

TEST_F(UndoRun, WithoutALocalApplicationDataFolderThereIsNoUndo) {
    RecordingUi fixing;
    ASSERT_EQ(run("/s", fixing), 0);
    platform.folder = {1, ""};
    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 1);
    ASSERT_FALSE(restoring.messages.empty());
    EXPECT_NE(restoring.messages.back().find("local application-data folder"), std::string::npos)
        << restoring.messages.back();
    EXPECT_FALSE(drive.exists("C:\\galmend backups"));
    EXPECT_EQ(count(newgalaxy), galaxies);
}

}  // namespace
}  // namespace galmend
