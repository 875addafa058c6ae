// The start-up and event plumbing both programs share, on a window of its own.
#include "hostenv/gameform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "formhost.h"
#include "hostenv/controltable.h"
#include "hostenv/failure.h"
#include "hostenv/report.h"
#include "hostenv/startup.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::plainkey;
using testing::ProgramEnded;
using testing::RecordingConsole;
using testing::RecordingUi;
using testing::ScriptedPlatform;
using testing::TempDrive;
using testing::wowkey;

constexpr std::array controls{
    ControlLayout{"Command1", "walkbutton", Kind::button, "walk", 0, 0, 100, 100},
    ControlLayout{"Command2", "otherbutton", Kind::button, "other", 0, 100, 100, 100},
    ControlLayout{"Command3", "exitbutton", Kind::button, "exit", 0, 200, 100, 100},
    ControlLayout{"Drive1", "drivelist", Kind::drivelist, "", 0, 300, 100, 100},
    ControlLayout{"Dir1", "folderlist", Kind::folderlist, "", 0, 400, 100, 100},
    ControlLayout{"File1", "filelist", Kind::filelist, "", 0, 500, 100, 100},
};
constexpr std::array<const char*, 1> focusorder{"Command1"};
constexpr FormLayout testlayout{"test", 1000, 1000, controls, focusorder};

class TestForm;
extern const std::array<ControlRow<TestForm>, 6> testtable;

// A window that starts as both programs do and records what its buttons ran.
class TestForm : public GameForm {
  public:
    TestForm(FileSystem& fs, Platform& platform, UserInterface& ui,
             std::span<const ControlRow<TestForm>> table = testtable)
        : GameForm(fs, platform, ui), table_(table) {
        bindcontrols<TestForm>(*this, table_, testlayout);
    }

    const FormLayout& layout() const override { return testlayout; }
    Control& control(std::string_view name) override {
        return controlbyrole<TestForm>(*this, table_, design(testlayout, name).role);
    }

    void Form_Load() override {
        reportifsilent();
        readwindir();
        findgalaxyfolders("\\");
        passgate({"and more"});
        readcommandline([this] { walkbutton.setenabled(false); });
        if (silentmode) ui_.endprogram(exitnormal);
    }

    void command(std::string_view role) override {
        ran.emplace_back(role);
        if (role == "exitbutton") ui_.endprogram(exitnormal);
        if (role == "walkbutton") {
            // As a walk does: events run while the operation is not done.
            const Busy busy(busy_);
            ui_.doevents();
        }
    }

    Button walkbutton, otherbutton, exitbutton;
    std::vector<std::string> ran;

  private:
    std::span<const ControlRow<TestForm>> table_;
};

const std::array<ControlRow<TestForm>, 6> testtable{
    HOSTENV_CONTROL(TestForm, walkbutton), HOSTENV_CONTROL(TestForm, otherbutton),
    HOSTENV_CONTROL(TestForm, exitbutton), HOSTENV_CONTROL(TestForm, drivelist),
    HOSTENV_CONTROL(TestForm, folderlist), HOSTENV_CONTROL(TestForm, filelist)};

// A control table that differs from the layout fails as the window is built, not when a
// player first clicks the control it lacks.
TEST(ControlTable, MustMatchTheLayoutAtConstruction) {
    TempDrive drive;
    ScriptedPlatform platform;
    RecordingUi ui;
    const TestForm built(drive.fs, platform, ui);
    EXPECT_EQ(built.walkbutton.caption(), "walk");
    EXPECT_EQ(built.exitbutton.caption(), "exit");

    const std::array<ControlRow<TestForm>, 5> missing{
        HOSTENV_CONTROL(TestForm, walkbutton), HOSTENV_CONTROL(TestForm, otherbutton),
        HOSTENV_CONTROL(TestForm, drivelist), HOSTENV_CONTROL(TestForm, folderlist),
        HOSTENV_CONTROL(TestForm, filelist)};
    EXPECT_THROW(TestForm(drive.fs, platform, ui, missing), std::logic_error);

    std::array<ControlRow<TestForm>, 7> extra{};
    std::copy(testtable.begin(), testtable.end(), extra.begin());
    extra.back() = testtable.front();
    EXPECT_THROW(TestForm(drive.fs, platform, ui, extra), std::logic_error);
    extra.back().role = "walkbuton";
    EXPECT_THROW(TestForm(drive.fs, platform, ui, extra), std::logic_error);
}

class Start : public testing::FormHost<TestForm> {
  protected:
    using FormHost::load;
    // The exit code when the start ended the program.
    static std::optional<int> load(TestForm& started) {
        return testing::ending([&] { started.load(); });
    }
};

TEST_F(Start, FillsTheRunStateInOrder) {
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(form.windirdrive, "C:");
    EXPECT_EQ(form.localappfolder, "C:\\users\\player\\AppData\\Local");
    EXPECT_EQ(form.gamefolder, "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.galaxyfolders,
              (std::array<std::string, 2>{"C:\\Games\\Zarn\\",
                                          "C:\\users\\player\\AppData\\Local\\Corvatek\\"
                                          "Halcyrion\\"}));
    EXPECT_EQ(form.gameversion, "1.52.0.3");
    EXPECT_EQ(form.targetversion, "1.52.0.3");
    EXPECT_FALSE(form.silentmode);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Start, InstallPathsAreTakenAsTheyAreStored) {
    for (const char* stored : {"C:\\Games\\Zarn\\", "c:/games/zarn", "D:\\Zarn"}) {
        SCOPED_TRACE(stored);
        platform.registry[plainkey] = stored;
        TestForm fresh{drive.fs, platform, ui};
        load(fresh);
        EXPECT_EQ(fresh.gamefolder, std::string(stored) + "\\") << "never normalised";
    }
}

TEST_F(Start, SixtyFourBitWindowsReadsOnlyTheWow6432NodeKey) {
    drive.makefolder("C:\\Program Files (x86)");
    EXPECT_EQ(load(), exitversiongate) << "the plain key is not a fallback";
    EXPECT_EQ(form.gamefolder, "\\");
    platform.registry[wowkey] = "C:\\Games\\Zarn";
    platform.registry[plainkey] = "C:\\Elsewhere";
    TestForm fresh{drive.fs, platform, ui};
    EXPECT_EQ(load(fresh), std::nullopt);
    EXPECT_EQ(fresh.gamefolder, "C:\\Games\\Zarn\\");
}

TEST_F(Start, TheGateComparesExactlyAndShowsWhatItFound) {
    const struct {
        const char* target;
        bool passes;
    } cases[] = {{"1.52.0.3 \r\n", false},
                 {"1.52.0.30\r\n", false},
                 {" 1.52.0.3", false},
                 {"1.52.0.3", true},
                 {"1.52.0.3\r\n\r\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        drive.write("targetzarnver.txt", c.target);
        RecordingUi recorded;
        TestForm fresh{drive.fs, platform, recorded};
        platform.args = "/s";
        EXPECT_EQ(load(fresh), c.passes ? exitnormal : exitversiongate);
        EXPECT_EQ(fresh.silentmode, c.passes) << "the command line is read after the gate";
    }
    drive.write("targetzarnver.txt", "1.60.0.0\r\nignored\r\n");
    EXPECT_EQ(load(), exitversiongate);
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "found zarn version :1.52.0.3:\r\n need zarn version :1.60.0.0:\r\n"
                               "in the default location of\r\nC:\\Games\\Zarn\\\r\nand more"});
}

// The version file is bytes in the ANSI code page; a version that differs from the game's
// must not read the same as it, nor cut the message short.
TEST_F(Start, TheGateQuotesTheVersionFileInItsCodePageAndShowsWhatWouldNotShow) {
    const struct {
        std::string target;
        std::string shown;
    } cases[] = {
        {"1.52.0.3\xE9", "1.52.0.3\xC3\xA9"},
        {"\xEF\xBB\xBF"
         "1.52.0.3",
         "\xC3\xAF\xC2\xBB\xC2\xBF"
         "1.52.0.3"},
        {std::string("1.52.0.3\0", 9), "1.52.0.3<NUL>"},
        {"1.52.0.3\x81\t", "1.52.0.3<U+0081><U+0009>"},
        {std::string("\xFF\xFE"
                     "1\0.\0"
                     "5\0\r\0\n\0",
                     12),
         "\xC3\xBF\xC3\xBE"
         "1<NUL>.<NUL>5<NUL><U+000D><NUL><U+000A><NUL>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        drive.write("targetzarnver.txt", c.target);
        RecordingUi recorded;
        TestForm fresh{drive.fs, platform, recorded};
        EXPECT_EQ(load(fresh), exitversiongate);
        ASSERT_EQ(recorded.messages.size(), 1U);
        EXPECT_EQ(recorded.messages[0],
                  "found zarn version :1.52.0.3:\r\n need zarn version :" + c.shown +
                      ":\r\nin the default location of\r\nC:\\Games\\Zarn\\"
                      "\r\nand more");
    }
}

TEST_F(Start, NoGameAndAnEmptyTargetNeverPass) {
    platform.registry.clear();
    EXPECT_EQ(load(), exitversiongate) << "a missing install ends at the gate";
    EXPECT_EQ(form.gameversion, "");
    EXPECT_EQ(ui.messages.at(0), "the game was not found at \\\r\nand more");

    // Two empty texts, no game and no target, must not match.
    drive.write("targetzarnver.txt", "\r\nversion on the second line\r\n");
    platform.args = "/s";
    TestForm fresh{drive.fs, platform, ui};
    EXPECT_EQ(load(fresh), exitversiongate);
    EXPECT_FALSE(fresh.silentmode);
}

TEST_F(Start, AFolderWithoutTheGameSaysSoAndAGameWithoutAVersionShowsTheVersions) {
    const struct {
        const char* name;
        bool exefile;
        bool version;
        const char* first;
    } cases[] = {
        {"no game executable", false, false, "the game was not found at C:\\Games\\Zarn\\"},
        {"a game with no version", true, false, "found zarn version ::"},
        {"a version read without a file seen", false, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string game = "C:\\Games\\Zarn\\Halcyrion.exe";
        platform.versions.clear();
        std::filesystem::remove(drive.host(game));
        if (c.exefile) drive.write(game, "MZ");
        if (c.version) platform.setversion(game, 1, 52, 0, 3);
        RecordingUi recorded;
        TestForm fresh{drive.fs, platform, recorded};
        EXPECT_EQ(load(fresh),
                  c.first[0] == '\0' ? std::nullopt : std::optional<int>(exitversiongate));
        const std::string shown = recorded.messages.empty() ? "" : recorded.messages[0];
        EXPECT_EQ(shown.substr(0, shown.find("\r\n")), c.first);
    }
}

TEST_F(Start, AVersionFileThatIsMissingEmptyOrUnreadableEndsTheStartNamingIt) {
    testing::UnreadableFiles locked(drive.root(), {}, "Cannot open targetzarnver.txt\r\nlocked");
    platform.registry.clear();
    {
        RecordingUi recorded;
        TestForm fresh{locked, platform, recorded};
        EXPECT_EQ(load(fresh), exitfailure) << "no game and an unread target must not pass";
        EXPECT_EQ(recorded.messages,
                  std::vector<std::string>{"The game version file \"targetzarnver.txt\" cannot be "
                                           "read.\r\nCannot open targetzarnver.txt\r\nlocked"});
    }
    for (const char* content : {static_cast<const char*>(nullptr), "", "\r\n"}) {
        SCOPED_TRACE(content ? "empty" : "missing");
        std::filesystem::remove(drive.host("targetzarnver.txt"));
        if (content) drive.write("targetzarnver.txt", content);
        RecordingUi recorded;
        TestForm fresh{drive.fs, platform, recorded};
        EXPECT_EQ(load(fresh), exitfailure);
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_NE(recorded.messages[0].find("\"targetzarnver.txt\""), std::string::npos);
    }
}

TEST_F(Start, CommandLinePieces) {
    const struct {
        const char* args;
        std::optional<int> end;
        const char* message;
        bool silent;
    } cases[] = {
        {"", std::nullopt, nullptr, false},
        {"/s", 0, nullptr, true},
        {"-S", 0, nullptr, true},
        {"-silent", 0, nullptr, true},
        {"/S /silent", 0, nullptr, true},
        {"-SILENT /Silent", 0, nullptr, true},
        {"/s foo", 3, "Invalid argument: foo", true},
        {"Foo /s", 3, "Invalid argument: Foo", false},
        {"/s  /s", 3, "Invalid argument: ", true},
        {"\"/s\"", 3, "Invalid argument: \"/s\"", false},
        {"/ss", 3, "Invalid argument: /ss", false},
        {"--s", 3, "Invalid argument: --s", false},
        {"/s ", 3, "Invalid argument: ", true},
        {" ", 3, "Invalid argument: ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("[") + c.args + "]");
        platform.args = c.args;
        RecordingUi recorded;
        TestForm fresh{drive.fs, platform, recorded};
        EXPECT_EQ(load(fresh), c.end);
        EXPECT_EQ(recorded.messages,
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(fresh.silentmode, c.silent);
        EXPECT_EQ(fresh.walkbutton.enabled(), !c.silent) << "each switch runs the program's own";
    }
}

// What a script reads: every message a silent run shows, a line each, and how it ended,
// even when the start is refused; a run with the window writes nothing.
TEST_F(Start, ASilentRunReportsItsMessagesAndItsEndToTheConsole) {
    const std::string end = "test ended with exit code ";
    const struct {
        const char* args;
        const char* target;
        std::vector<std::string> lines;
    } cases[] = {
        {"/s", "1.52.0.3", {end + "0: the run is complete."}},
        {"Foo -S",
         "1.52.0.3",
         {"Invalid argument: Foo",
          end + "3: the command line holds an argument it does not know; nothing was changed."}},
        {"/silent",
         "1.60",
         {"found zarn version :1.52.0.3:", " need zarn version :1.60:",
          "in the default location of", "C:\\Games\\Zarn\\", "and more",
          end + "2: the game is not the version \"targetzarnver.txt\" names; nothing was "
                "changed."}},
        {"-s",
         "",
         {"The game version file \"targetzarnver.txt\" is empty: its first line must name the "
          "game version this program is made for.",
          end + "1: the run failed, for the reason above."}},
        {"", "1.60", {}},
        {"Foo", "1.52.0.3", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("[") + c.args + "] " + c.target);
        platform.args = c.args;
        drive.write("targetzarnver.txt", c.target);
        RecordingUi shown;
        RecordingConsole console;
        ReportingUi reporting(shown, console, "test");
        TestForm fresh{drive.fs, platform, reporting};
        load(fresh);
        EXPECT_EQ(console.lines, c.lines);
        EXPECT_EQ(shown.messages.size(), c.args == std::string("/s") ? 0u : 1u)
            << "the message boxes stay";
    }
}

TEST_F(Start, ALocalAppDataFailureShowsItsMessageAndTheStartGoesOn) {
    platform.folder.result = 1;
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The folder does not exist"});
    EXPECT_EQ(form.galaxyfolders[1], "\\Corvatek\\Halcyrion\\");
}

TEST_F(Start, WhileAnOperationLetsEventsThroughOnlyExitGetsThrough) {
    ASSERT_EQ(load(), std::nullopt);
    drive.makefolder("C:\\Games\\Zarn\\sub");
    form.folderlist.setpath("C:\\Games\\Zarn\\");
    const std::string shown = form.folderlist.path();
    ui.onevents = [&] {
        form.clicked("Command2");
        form.clicked("Command1");
        form.folderpicked("C:\\Games\\Zarn\\sub\\");
        form.drivepicked("C:");
    };
    form.clicked("Command1");
    EXPECT_EQ(form.ran, std::vector<std::string>{"walkbutton"});
    EXPECT_EQ(form.folderlist.path(), shown) << "the user's list changes are ignored too";

    ui.onevents = [&] { form.clicked("Command3"); };
    EXPECT_THROW(form.clicked("Command1"), ProgramEnded) << "exit still ends the program";
    form.clicked("Command2");
    EXPECT_EQ(form.ran.back(), "otherbutton") << "the guard is gone with the operation";
    EXPECT_THROW(form.closed(), ProgramEnded);
}

// The window delivers a click when it gets to it: one made while an operation ran, or on a
// button greyed since, must not start anything.
TEST_F(Start, ALateClickOnAGreyedButtonDoesNothingAndInputQueuedDuringAnEventIsDropped) {
    ASSERT_EQ(load(), std::nullopt);
    form.clicked("Command2");
    EXPECT_EQ(ui.inputdrops, 1) << "what the user did while the click ran is dropped";
    form.otherbutton.setenabled(false);
    form.clicked("Command2");
    EXPECT_EQ(form.ran, std::vector<std::string>{"otherbutton"});
    EXPECT_EQ(ui.inputdrops, 1);
    form.otherbutton.setenabled(true);
    form.clicked("Command2");
    EXPECT_EQ(form.ran.size(), 2U);
}

}  // namespace
}  // namespace hostenv
