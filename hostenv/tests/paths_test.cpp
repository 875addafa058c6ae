#include "hostenv/paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace hostenv {
namespace {

using namespace std::string_literals;

TEST(Paths, JoiningTrimmingAndSplittingKeepRootsWhole) {
    const struct {
        const char* path;
        const char* trimmed;
        const char* separated;
        const char* parent;
        const char* last;
    } cases[] = {
        {"C:\\Games\\Zarn", "C:\\Games\\Zarn", "C:\\Games\\Zarn\\", "C:\\Games", "Zarn"},
        {"C:\\Games\\Zarn\\\\", "C:\\Games\\Zarn", "C:\\Games\\Zarn\\", "C:\\Games", ""},
        {"c:\\x.galaxy", "c:\\x.galaxy", "c:\\x.galaxy\\", "c:\\", "x.galaxy"},
        {"C:\\", "C:\\", "C:\\", "C:\\", ""},
        {"C:", "C:\\", "C:\\", "C:\\", "C:"},
        {"\\\\server\\share\\maps\\", "\\\\server\\share\\maps", "\\\\server\\share\\maps\\",
         "\\\\server\\share", ""},
        {"\\\\server\\share\\", "\\\\server\\share", "\\\\server\\share\\", "\\\\server\\share",
         ""},
        {"\\\\?\\C:\\", "\\\\?\\C:\\", "\\\\?\\C:\\", "\\\\?\\C:\\", ""},
        {"\\\\?\\UNC\\server\\share\\a", "\\\\?\\UNC\\server\\share\\a",
         "\\\\?\\UNC\\server\\share\\a\\", "\\\\?\\UNC\\server\\share", "a"},
        {"\\", "\\", "\\", "\\", ""},
        {"x.galaxy", "x.galaxy", "x.galaxy\\", "", "x.galaxy"},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(withoutseparator(c.path), c.trimmed);
        EXPECT_EQ(withseparator(c.path), c.separated);
        EXPECT_EQ(joinpath(c.path, "x"), c.separated + "x"s);
        EXPECT_EQ(parentpath(c.path), c.parent);
        EXPECT_EQ(lastcomponent(c.path), c.last);
    }
    EXPECT_EQ(lastcomponentstart("C:\\maps\\x.galaxy"), 8u);
}

TEST(Paths, TheLongFormAndBack) {
    const struct {
        const char* plain;
        const char* longer;
    } cases[] = {
        {"C:\\Games\\x.galaxy", "\\\\?\\C:\\Games\\x.galaxy"},
        {"C:\\", "\\\\?\\C:\\"},
        {"\\\\server\\share", "\\\\?\\UNC\\server\\share"},
        {"\\\\server\\share\\maps.\\a ", "\\\\?\\UNC\\server\\share\\maps.\\a "},
        {"maps\\x.galaxy", "maps\\x.galaxy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(longform(c.plain), c.longer);
        EXPECT_EQ(longform(c.longer), c.longer);
        EXPECT_EQ(plainform(c.longer), c.plain);
        EXPECT_EQ(islongform(c.longer), c.longer != std::string(c.plain));
    }
    EXPECT_EQ(plainform("\\\\?\\unc\\server\\share"), "\\\\server\\share");
}

TEST(Paths, DotsResolveWithinTheRoot) {
    const struct {
        const char* path;
        std::optional<std::string> refusing;
        const char* staying;
    } cases[] = {
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c", "C:\\a\\c"},
        {"C:\\a\\\\b\\", "C:\\a\\b\\", "C:\\a\\b\\"},
        {"C:\\a\\..", "C:\\", "C:\\"},
        {"C:\\a\\..\\..", std::nullopt, "C:\\"},
        {"C:\\..\\..\\etc", std::nullopt, "C:\\etc"},
        {"\\\\server\\share\\a\\..\\", "\\\\server\\share\\", "\\\\server\\share\\"},
        {"\\\\server\\share\\..\\other", std::nullopt, "\\\\server\\share\\other"},
        {"maps\\..\\..\\x", std::nullopt, "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(resolveddots(c.path), c.refusing);
        EXPECT_EQ(resolveddots(c.path, AboveRoot::stay), c.staying);
    }
}

TEST(Paths, APathLiesInsideAFolderByWholeNamesLetterCaseAside) {
    const struct {
        const char* path;
        const char* folder;
        bool inside;
    } cases[] = {
        {"C:\\Games\\Zarn\\x.galaxy", "C:\\Games\\Zarn", true},
        {"c:\\GAMES\\zarn", "C:\\Games\\Zarn\\", true},
        {"C:\\Spiele\\\xC3\x9C"
         "ber\\x",
         "c:\\spiele\\\xC3\xBC"
         "ber",
         true},
        {"C:\\x.galaxy", "C:", true},
        {"\\\\?\\C:\\Games\\Zarn\\x", "C:\\Games\\Zarn", true},
        {"C:\\Games\\Zarn\\x", "\\\\?\\c:\\games\\", true},
        {"\\\\?\\UNC\\Server\\Share\\x", "\\\\server\\share", true},
        {"C:\\Games\\.\\Zarn\\x", "C:\\Games\\Zarn", true},
        {"C:\\Games2\\x", "C:\\Games", false},
        {"C:\\Games", "C:\\Games\\Zarn", false},
        {"D:\\Games\\x", "C:\\Games", false},
        {"\\\\server\\share2\\x", "\\\\server\\share", false},
        {"C:\\Games\\Zarn\\..\\..\\Windows\\x", "C:\\Games", false},
        {"C:\\..\\Games\\x", "C:\\Games", false},
        {"C:\\Games.\\x", "C:\\Games", false},
        {"C:\\Games \\x", "C:\\Games", false},
        {"C:\\Games\\x.galaxy.", "C:\\Games", false},
        {"C:\\Games\\x", "C:\\Games.", false},
        {"\\\\?\\C:\\Games\\..\\x", "C:\\", false},
        {"Games\\x", "Games", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + c.folder);
        EXPECT_EQ(liesinside(c.path, c.folder), c.inside);
    }
}

TEST(Paths, APathToWriteIsCheckedNameByName) {
    const struct {
        std::string path;
        const char* resolved;
        const char* why;
    } cases[] = {
        {"C:\\Games\\Zarn\\..\\.\\x.galaxy", "C:\\Games\\x.galaxy", ""},
        {"C:\\a\\..\\", "C:\\", ""},
        {"a.galaxy", nullptr, "is not a full path on a drive"},
        {"\\\\server\\share\\x.galaxy", nullptr, "is not a full path on a drive"},
        {"1:\\x.galaxy", nullptr, "is not a full path on a drive"},
        {"C:\\Games/x.galaxy", nullptr, "holds a \"/\""},
        {"C:\\Halcyrion.exe\0x.galaxy"s, nullptr, "holds a NUL"},
        {"C:\\Games\\\\x.galaxy", nullptr, "has an empty name"},
        {"C:\\Games\\", nullptr, "has an empty name"},
        {"C:\\..\\x.galaxy", nullptr, "leads above its drive"},
        {"C:\\..\\a.\\x.galaxy", nullptr, "leads above its drive"},
        {"C:\\a.\\..\\..\\x.galaxy", nullptr, "ending in a dot or a blank"},
        {"C:\\Games\\x.galaxy ", nullptr, "ending in a dot or a blank"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string why;
        const auto resolved = checkeddrivepath(c.path, why);
        EXPECT_EQ(resolved, c.resolved ? std::optional<std::string>(c.resolved) : std::nullopt);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

}  // namespace
}  // namespace hostenv
