#include "hostenv/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostenv/failure.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::TempDrive;

class Lists : public ::testing::Test {
  protected:
    Lists() {
        drive.touch({"C:\\Games\\Zarn\\b.galaxy", "C:\\Games\\Zarn\\A.Galaxy",
                     "C:\\Games\\Zarn\\notes.txt", "C:\\Games\\Zarn\\.hidden.galaxy",
                     "C:\\root.galaxy"});
        drive.makefolder("C:\\Games\\Zarn\\Fortrel");
        drive.makefolder("C:\\Games\\Zarn\\maps");
        drive.makefolder("C:\\Games\\Zarn\\.cache");
        dir.change = [this] {
            ++changes;
            Dir1_Change(dir, file);
        };
    }
    TempDrive drive;
    DriveList drivelist{drive.fs};
    FolderList dir{drive.fs};
    FileList file{drive.fs};
    int changes = 0;
};

TEST_F(Lists, FolderListKeepsPathsAsTheWindowShowsThem) {
    dir.setpath("C:\\Games\\Zarn\\");
    EXPECT_EQ(dir.path(), "C:\\Games\\Zarn");
    ASSERT_EQ(dir.count(), 2);
    EXPECT_EQ(dir.entry(0), "C:\\Games\\Zarn\\Fortrel");
    EXPECT_EQ(dir.entry(1), "C:\\Games\\Zarn\\maps");
    EXPECT_EQ(dir.entry(2), "") << "the end mark";
    EXPECT_EQ(dir.entry(-1), "");

    dir.setpath("C:\\");
    EXPECT_EQ(dir.path(), "C:\\") << "a root keeps its backslash";
    EXPECT_EQ(dir.entry(0), "C:\\Games");
}

TEST_F(Lists, ChangeRunsOnlyWhenTheFolderChangesAndTheFileListFollows) {
    file.setpattern("*.galaxy");
    dir.setpath("C:\\Games\\Zarn");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(file.path(), "C:\\Games\\Zarn");
    ASSERT_EQ(file.count(), 2);
    EXPECT_EQ(file.entry(0), "A.Galaxy");
    EXPECT_EQ(file.entry(1), "b.galaxy");
    dir.setpath("C:\\Games\\Zarn\\");
    EXPECT_EQ(changes, 1);
}

TEST_F(Lists, AFolderThatCannotBeOpenedFailsAndChangesNothing) {
    dir.setpath("C:\\Games");
    EXPECT_THROW(dir.setpath("C:\\Games\\Nowhere"), Failure);
    EXPECT_EQ(dir.path(), "C:\\Games");
    EXPECT_EQ(dir.count(), 1);
    EXPECT_EQ(changes, 1);

    file.setpath("C:\\Games\\Zarn");
    EXPECT_THROW(file.setpath("C:\\Games\\Nowhere"), Failure);
    EXPECT_EQ(file.path(), "C:\\Games\\Zarn") << "the file list keeps its folder too";
    EXPECT_EQ(file.count(), 3);
}

TEST_F(Lists, FileListPatternIsCaseInsensitiveAndSkipsHiddenFiles) {
    file.setpath("C:\\Games\\Zarn");
    EXPECT_EQ(file.count(), 3) << "the default pattern lists every ordinary file";
    file.setpattern("*.GALAXY");
    EXPECT_EQ(file.count(), 2);
    file.setpattern("NOTES.TXT");
    EXPECT_EQ(file.count(), 1);
}

TEST_F(Lists, ADriveChoiceMovesBothListsToItsRoot) {
    file.setpattern("*.galaxy");
    EXPECT_EQ(drivelist.drives(), std::vector<std::string>{"C:"});
    drivelist.setdrive("C: [system]");
    Drive1_Change(drivelist, dir, file);
    EXPECT_EQ(dir.path(), "C:\\");
    EXPECT_EQ(file.path(), "C:\\");
    ASSERT_EQ(file.count(), 1);
    EXPECT_EQ(file.entry(0), "root.galaxy");
    drivelist.setdrive("Q:");
    EXPECT_THROW(Drive1_Change(drivelist, dir, file), Failure);
}

TEST(Controls, TheViewSeesEachChangeAndWhereAnAppendedPartStarts) {
    Button button("exit");
    Label label("0", false);
    TextBox text;
    std::vector<std::string> shown;
    button.viewchanged = [&] {
        shown.push_back(std::to_string(button.enabled()) + " " + button.tooltip());
    };
    label.viewchanged = [&] { shown.push_back(label.caption() + std::to_string(label.visible())); };
    // The view appends only what follows appendedat, so a long list stays cheap to show.
    text.viewchanged = [&] {
        const std::size_t at = text.appendedat();
        shown.push_back(at == std::string::npos ? "all:" + text.text()
                                                : "new:" + text.text().substr(at));
    };
    button.setenabled(false);
    button.settooltip("C:\\Games\\Zarn\\");
    label.setcaption(" 1");
    label.setvisible(true);
    text.settext("a.galaxy\r\n");
    text.append("b.galaxy\r\n");
    text.settext("");
    EXPECT_EQ(shown, (std::vector<std::string>{"0 ", "0 C:\\Games\\Zarn\\", " 10", " 11",
                                               "all:a.galaxy\r\n", "new:b.galaxy\r\n", "all:"}));
}

}  // namespace
}  // namespace hostenv
