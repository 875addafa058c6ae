#include "hostenv/hostqueries.h"

#include <gtest/gtest.h>

#include "hostenv/failure.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::RecordingUi;
using testing::ScriptedPlatform;
using testing::TempDrive;

// A version as the query's platform id names its family.
WindowsVersion version(std::uint32_t platformid, std::uint32_t major, std::uint32_t minor) {
    using Family = WindowsVersion::Family;
    const Family families[] = {Family::win32s, Family::win9x, Family::nt};
    return {platformid < 3 ? families[platformid] : Family::other, major, minor};
}

TEST(Winvershort, LabelsEveryRowOfTheTable) {
    const struct {
        int result;
        std::uint32_t id, major, minor;
        const char* label;
    } cases[] = {
        // One row for each way the label is decided: the family, the 9x minor numbers, the
        // NT labels players see, a later Windows, an unknown family and a failed query.
        {1, 0, 9, 9, "32s"},        {1, 1, 4, 0, "95"},         {1, 1, 9, 90, "ME"},
        {1, 1, 4, 10, "98"},        {1, 2, 3, 51, "NT3.51"},    {1, 2, 3, 2, ""},
        {1, 2, 5, 1, "WinXP"},      {1, 2, 5, 3, "Winxp x64?"}, {1, 2, 6, 1, "win7"},
        {1, 2, 6, 3, "Win7+ x64?"}, {1, 2, 10, 0, ""},          {1, 3, 6, 1, ""},
        {0, 2, 6, 1, ""},
    };
    ScriptedPlatform platform;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.result) + " " + std::to_string(c.id) + " " +
                     std::to_string(c.major) + "." + std::to_string(c.minor));
        platform.version = std::nullopt;
        if (c.result == 1) platform.version = version(c.id, c.major, c.minor);
        EXPECT_EQ(winvershort(platform), c.label);
    }
}

TEST(Is64bitwindows, NtFamilyWithAnX86ProgramFolderOnTheWindowsDrive) {
    TempDrive drive;
    ScriptedPlatform platform;
    EXPECT_FALSE(is64bitwindows(platform, drive.fs, "C:")) << "no program files (x86)";
    drive.makefolder("C:\\Program Files (x86)");
    EXPECT_TRUE(is64bitwindows(platform, drive.fs, "C:")) << "letter case does not matter";
    EXPECT_FALSE(is64bitwindows(platform, drive.fs, "D:")) << "another drive";
    EXPECT_TRUE(is64bitwindows(platform, drive.fs, "")) << "windir absent: the current drive";
    platform.version = version(1, 4, 10);
    EXPECT_FALSE(is64bitwindows(platform, drive.fs, "C:")) << "the Windows 95 family";
    platform.version = std::nullopt;
    EXPECT_FALSE(is64bitwindows(platform, drive.fs, "C:")) << "failed query";
}

TEST(Getfileversion, ProductVersionAsFourUnsignedParts) {
    ScriptedPlatform platform;
    platform.setversion("C:\\Games\\Halcyrion.exe", 1, 52, 0, 3);
    platform.setversion("C:\\big.exe", 1, 0, 40000, 7);
    platform.setversion("C:\\max.exe", 65535, 65535, 65535, 65535);
    EXPECT_EQ(getfileversion(platform, "C:\\Games\\Halcyrion.exe"), "1.52.0.3");
    EXPECT_EQ(getfileversion(platform, "C:\\big.exe"), "1.0.40000.7");
    EXPECT_EQ(getfileversion(platform, "C:\\max.exe"), "65535.65535.65535.65535");
    EXPECT_EQ(getfileversion(platform, "C:\\missing.exe"), "");
}

TEST(Registryop, ReadsOnlyForTheReadAction) {
    ScriptedPlatform platform;
    platform.registry["HKEY_LOCAL_MACHINE\\SOFTWARE\\k\\Path"] = "C:\\Games\\Zarn";
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\k\\Path";
    for (const char* action : {"read", "Read", "READ"}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(registryop(platform, action, key), "C:\\Games\\Zarn");
    }
    EXPECT_EQ(registryop(platform, "write", key), "");
    EXPECT_EQ(registryop(platform, "read ", key), "");
    EXPECT_EQ(registryop(platform, "read", key + "x"), "") << "missing value";
}

TEST(Localappdata, ResultCodesAndTheirMessages) {
    ScriptedPlatform platform;
    RecordingUi ui;
    EXPECT_EQ(localappdata(platform, ui), "C:\\users\\player\\AppData\\Local");
    EXPECT_EQ(platform.folderqueries, 1);
    EXPECT_TRUE(ui.messages.empty());

    platform.folder.result = 1;
    EXPECT_EQ(localappdata(platform, ui), "");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The folder does not exist"});

    ui.messages.clear();
    platform.folder.result = 0x80070057;
    EXPECT_EQ(localappdata(platform, ui), "");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"An invalid folder ID was specified"});

    ui.messages.clear();
    platform.folder.result = 0x80004005;
    EXPECT_EQ(localappdata(platform, ui), "");
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace hostenv
