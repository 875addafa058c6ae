// The Windows side against the real system (run under Wine in our builds).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"
#include "hostenv/win32/widetext.h"
#include "hostenv/win32/win32filesystem.h"
#include "hostenv/win32/win32platform.h"

namespace hostenv::win32 {
namespace {

TEST(ArgumentText, KeepsEverythingAfterTheNameAndOneBlank) {
    const struct {
        const char* commandline;
        const char* arguments;
    } cases[] = {
        {"galmend.exe", ""},
        {"", ""},
        {"galmend.exe /s", "/s"},
        {"galmend.exe  /s", " /s"},
        {"galmend.exe /s  /silent ", "/s  /silent "},
        {"galmend.exe\t/s", "/s"},
        {"\"C:\\zarn tools\\galmend.exe\" /s", "/s"},
        {"\"C:\\zarn tools\\galmend.exe\"/s", "/s"},
        {"\"C:\\zarn tools\\galmend.exe\" \"/s\"", "\"/s\""},
        {"\"unclosed name /s", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandline);
        EXPECT_EQ(argumenttext(c.commandline), c.arguments);
    }
}

class Win32FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        folder_ = std::string(temp) + "hostenv_win32_" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    }
    void TearDown() override { removetree(folder_); }

    std::string at(const std::string& name) const { return folder_ + "\\" + name; }
    void makefolder(const std::string& name, DWORD attributes = 0) {
        ASSERT_TRUE(CreateDirectoryA(at(name).c_str(), nullptr));
        if (attributes != 0) SetFileAttributesA(at(name).c_str(), attributes);
    }
    void makefile(const std::string& name, const std::string& bytes, DWORD attributes = 0) {
        const HANDLE file = CreateFileA(at(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        if (attributes != 0) SetFileAttributesA(at(name).c_str(), attributes);
    }

    static void removetree(const std::string& path) {
        WIN32_FIND_DATAW entry;
        const HANDLE search = FindFirstFileW(widepath(path + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = narrow(entry.cFileName);
                if (name == "." || name == "..") continue;
                const std::string inner = path + "\\" + name;
                SetFileAttributesW(widepath(inner).c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removetree(inner);
                } else {
                    DeleteFileW(widepath(inner).c_str());
                }
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(widepath(path).c_str());
    }

    std::string identity(const std::string& path) {
        return fs_.describe(path, Ask::identity).identity;
    }

    Win32FileSystem fs_;
    std::string folder_;
};

TEST_F(Win32FileSystemTest, LookupFindsVisibleEntriesOfTheKindAskedFor) {
    makefile("map.galaxy", "x");
    makefile("secret.galaxy", "x", FILE_ATTRIBUTE_HIDDEN);
    makefile("system.galaxy", "x", FILE_ATTRIBUTE_SYSTEM);
    makefolder("maps");
    makefolder("hidden", FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(fs_.lookup(at("map.galaxy"), Entries::files), "map.galaxy");
    EXPECT_EQ(fs_.lookup(at("MAP.GALAXY"), Entries::files), "map.galaxy");
    EXPECT_EQ(fs_.lookup(at("maps"), Entries::files), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("maps"), Entries::foldersandfiles), "maps");
    EXPECT_EQ(fs_.lookup(at("secret.galaxy"), Entries::files), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("system.galaxy"), Entries::foldersandfiles), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("hidden"), Entries::foldersandfiles), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("nothing"), Entries::foldersandfiles), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("s*.galaxy"), Entries::files), std::nullopt);
    EXPECT_EQ(fs_.lookup(at("m?p.*"), Entries::files), "map.galaxy");
}

TEST_F(Win32FileSystemTest, LookupOfFolderDotNamesTheFolderItself) {
    makefolder("program files (x86)");
    EXPECT_TRUE(fs_.lookup(at("Program Files (x86)\\."), Entries::foldersandfiles));
    EXPECT_FALSE(fs_.lookup(at("program files (x86)\\."), Entries::files));
    EXPECT_FALSE(fs_.lookup(at("absent\\."), Entries::foldersandfiles));
    // Through a wildcard "." and ".." are no entries: an empty folder matches nothing.
    EXPECT_FALSE(fs_.lookup(at("program files (x86)\\*"), Entries::foldersandfiles));
}

TEST_F(Win32FileSystemTest, ReadFileGivesTheBytesUnchanged) {
    const std::string bytes("a\r\n\0b\xff\r\n\n", 8);
    makefile("bytes.txt", bytes);
    makefile("empty.txt", "");
    EXPECT_EQ(fs_.readfile(at("bytes.txt")), bytes);
    EXPECT_EQ(fs_.readfile(at("empty.txt")), "");
    try {
        fs_.readfile(at("absent.txt"));
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find(at("absent.txt")), std::string::npos);
    }
}

// Holds a file with no sharing, as another program may, for a while on a thread of its own.
class Hold {
  public:
    Hold(const std::string& path, DWORD milliseconds) : milliseconds_(milliseconds) {
        file_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        thread_ = CreateThread(nullptr, 0, release, this, 0, nullptr);
    }
    ~Hold() {
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool held() const { return file_ != INVALID_HANDLE_VALUE && thread_ != nullptr; }

  private:
    static DWORD WINAPI release(void* self) {
        auto* hold = static_cast<Hold*>(self);
        Sleep(hold->milliseconds_);
        CloseHandle(hold->file_);
        return 0;
    }
    DWORD milliseconds_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE thread_ = nullptr;
};

TEST_F(Win32FileSystemTest, ReadFileWaitsOutABriefHoldAndReportsALongOne) {
    makefile("held.galaxy", "held\r\n");
    {
        const Hold brief(at("held.galaxy"), 500);
        ASSERT_TRUE(brief.held());
        EXPECT_EQ(fs_.readfile(at("held.galaxy")), "held\r\n");
    }
    const Hold longer(at("held.galaxy"), 4000);
    ASSERT_TRUE(longer.held());
    try {
        fs_.readfile(at("held.galaxy"));
        FAIL() << "a file held for longer than the retries was read";
    } catch (const Failure& failure) {
        const std::string what = failure.what();
        EXPECT_EQ(what.rfind("Cannot open " + at("held.galaxy") + "\r\n", 0), 0u) << what;
        EXPECT_GT(what.size(), ("Cannot open " + at("held.galaxy") + "\r\n").size())
            << "the system's reason follows";
    }
}

TEST_F(Win32FileSystemTest, ANewFileIsWrittenWhole) {
    EXPECT_TRUE(fs_.createfile(at("new.tmp"), "new\r\n"));
    EXPECT_FALSE(fs_.createfile(at("new.tmp"), "other\r\n")) << "an existing file is no new one";
    EXPECT_EQ(fs_.readfile(at("new.tmp")), "new\r\n");
    EXPECT_THROW(fs_.createfile(at("absent\\new.tmp"), "x"), Failure);
}

TEST_F(Win32FileSystemTest, AFileToAppendToIsNewAndGivesItsPartsBack) {
    const std::string path = at("set.zip");
    {
        const auto file = fs_.createappending(path);
        ASSERT_NE(file, nullptr);
        file->append("first ");
        file->append("second");
        file->flush();
        EXPECT_EQ(fs_.createappending(path), nullptr) << "an existing file is no new one";
    }
    EXPECT_EQ(fs_.readfile(path), "first second");
    std::string part;
    fs_.readpart(path, 6, 100, part);
    EXPECT_EQ(part, "second");
    fs_.readpart(path, 2, 3, part);
    EXPECT_EQ(part, "rst");
    fs_.readpart(path, 50, 3, part);
    EXPECT_EQ(part, "");
    EXPECT_THROW(fs_.readpart(at("absent.zip"), 0, 3, part), Failure);
    EXPECT_THROW(fs_.createappending(at("absent\\set.zip")), Failure);
}

TEST_F(Win32FileSystemTest, AFolderIsMadeOnceAndAFileInItsWayFails) {
    const std::string folder = at("galmend backups");
    EXPECT_TRUE(fs_.makefolder(folder));
    EXPECT_FALSE(fs_.makefolder(folder));
    EXPECT_TRUE(fs_.hasfolder(folder));
    makefile("taken", "x");
    EXPECT_THROW(fs_.makefolder(at("taken")), Failure);
    EXPECT_THROW(fs_.makefolder(at("absent\\deeper")), Failure);
}

TEST(Win32PlatformTest, TheLocalTimeStampHasItsShape) {
    const std::string stamp = Win32Platform().localtimestamp();
    ASSERT_EQ(stamp.size(), 19u) << stamp;
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const char expected = i == 10 ? ' ' : (i == 4 || i == 7 || i == 13 || i == 16) ? '-' : '0';
        if (expected == '0') {
            EXPECT_TRUE(stamp[i] >= '0' && stamp[i] <= '9') << stamp;
        } else {
            EXPECT_EQ(stamp[i], expected) << stamp;
        }
    }
}

TEST_F(Win32FileSystemTest, FoldersThatAreNotThereAreNoFailure) {
    makefolder("maps");
    makefile("map.galaxy", "x");
    EXPECT_TRUE(fs_.hasfolder(at("maps")));
    EXPECT_TRUE(fs_.hasfolder(at("maps\\")));
    EXPECT_FALSE(fs_.hasfolder(at("absent")));
    EXPECT_FALSE(fs_.hasfolder(at("absent\\deeper")));
    EXPECT_FALSE(fs_.hasfolder(at("map.galaxy")));
    EXPECT_EQ(fs_.lookup(at("absent\\map.galaxy"), Entries::files), std::nullopt);
}

// What is at a path, from one attribute query or, where an identity or a final path is asked
// for, from one open: nothing there is an answer, a name the system refuses a failure.
TEST_F(Win32FileSystemTest, DescribeTellsWhatIsThereWhicheverPartsAreAsked) {
    makefolder("maps");
    makefile("maps\\a.galaxy", "12345");
    makefile("locked.galaxy", "x", FILE_ATTRIBUTE_READONLY);
    const struct {
        std::string path;
        What what;
        std::uint64_t size;
        bool readonly;
        const char* final;
    } cases[] = {
        {at("maps\\a.galaxy"), What::file, 5, false, "\\maps\\a.galaxy"},
        {at("MAPS\\A.GALAXY"), What::file, 5, false, "\\maps\\a.galaxy"},
        {at("locked.galaxy"), What::file, 1, true, "\\locked.galaxy"},
        {at("maps"), What::folder, 0, false, "\\maps"},
        {at("maps\\"), What::folder, 0, false, "\\maps"},
        {at("absent"), What::missing, 0, false, nullptr},
        {at("absent\\deeper"), What::missing, 0, false, nullptr},
    };
    for (const unsigned ask : {0u, Ask::identity, Ask::final, Ask::identity | Ask::final,
                               Ask::target, Ask::target | Ask::identity}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.path + " asked " + std::to_string(ask));
            const Description found = fs_.describe(c.path, ask);
            EXPECT_EQ(found.what, c.what);
            EXPECT_EQ(found.size, c.size);
            EXPECT_EQ(found.readonly, c.readonly);
            EXPECT_EQ(found.identity.empty(), c.final == nullptr || !(ask & Ask::identity));
            EXPECT_EQ(found.final.has_value(), c.final != nullptr && (ask & Ask::final));
            if (found.final) {
                EXPECT_TRUE(found.final->ends_with(c.final)) << *found.final;
            }
            if (!c.path.ends_with('\\')) {
                EXPECT_EQ(found.target, std::nullopt);
            }
        }
    }
    const std::string refused = at("bad|name");
    for (const unsigned ask : {0u, Ask::identity, Ask::target}) {
        try {
            fs_.describe(refused, ask);
            ADD_FAILURE() << "a name the system refuses was taken for none there";
        } catch (const Failure& failure) {
            const std::string what = failure.what();
            EXPECT_EQ(what.rfind("Cannot look for " + refused + "\r\n", 0), 0u) << what;
        }
    }
}

TEST_F(Win32FileSystemTest, PathsPastTheClassicLimitAndNamesOutsideTheCodePageWork) {
    // Six folders of 60 characters: the galaxy's path is over 400 characters long.
    std::string deep = folder_;
    for (int level = 0; level < 6; ++level) {
        deep += "\\level" + std::to_string(level) + "-" + std::string(52, 'x');
        ASSERT_TRUE(CreateDirectoryW(widepath(deep).c_str(), nullptr)) << deep.size();
    }
    const std::string galaxy = deep + "\\\xE6\x98\x9F\xE7\xB3\xBB.galaxy";
    ASSERT_GT(galaxy.size(), 400u);
    EXPECT_TRUE(fs_.hasfolder(deep));
    EXPECT_TRUE(fs_.createfile(galaxy, "old\r\n"));
    EXPECT_EQ(fs_.lookup(galaxy, Entries::files), "\xE6\x98\x9F\xE7\xB3\xBB.galaxy");
    EXPECT_EQ(fs_.lookup(deep + "\\*.galaxy", Entries::files), "\xE6\x98\x9F\xE7\xB3\xBB.galaxy");
    EXPECT_EQ(names(fs_.readfolder(deep, "", "*.galaxy").files),
              std::vector<std::string>{"\xE6\x98\x9F\xE7\xB3\xBB.galaxy"});
    EXPECT_EQ(fs_.readfile(galaxy), "old\r\n");
    EXPECT_TRUE(fs_.createfile(deep + "\\~zarn1.tmp", "new\r\n"));
    fs_.moveover(deep + "\\~zarn1.tmp", galaxy);
    EXPECT_EQ(fs_.readfile(galaxy), "new\r\n");
    fs_.rename(galaxy, deep + "\\renamed.galaxy");
    fs_.remove(deep + "\\renamed.galaxy");
    EXPECT_TRUE(fs_.readfolder(deep, "", "*.*").files.empty());
    EXPECT_NE(identity(deep), identity(folder_));
}

TEST_F(Win32FileSystemTest, AFileOrFolderHasOneIdentityWhateverNameReachesIt) {
    makefolder("maps");
    makefile("maps\\a.galaxy", "a");
    makefile("maps\\b.galaxy", "b");
    ASSERT_TRUE(
        CreateHardLinkA(at("linked.galaxy").c_str(), at("maps\\a.galaxy").c_str(), nullptr));
    const std::string a = identity(at("maps\\a.galaxy"));
    EXPECT_EQ(identity(at("linked.galaxy")), a);
    EXPECT_EQ(identity(at("MAPS\\A.GALAXY")), a);
    EXPECT_NE(identity(at("maps\\b.galaxy")), a);
    EXPECT_NE(identity(at("maps")), a);
    EXPECT_EQ(identity(at("maps\\")), identity(at("maps")));
    EXPECT_EQ(identity(folder_.substr(0, 2)), identity(folder_.substr(0, 3)))
        << "a drive is its root";
}

TEST_F(Win32FileSystemTest, ListsAreVisibleAndInNameOrderWithoutCase) {
    for (const char* name : {"b", "A", "c"}) makefolder(name);
    makefolder("dot", FILE_ATTRIBUTE_HIDDEN);
    makefile("Zed.galaxy", "");
    makefile("alpha.GALAXY", "");
    makefile("beta.galaxy2", "");
    makefile("notes.txt", "");
    makefile("gone.galaxy", "", FILE_ATTRIBUTE_HIDDEN);

    for (const std::string& own : {identity(folder_), std::string()}) {
        SCOPED_TRACE(own.empty() ? "no identities wanted" : "the folder's identity given");
        for (const std::string& folder : {folder_, folder_ + "\\"}) {
            const FolderContents read = fs_.readfolder(folder, own, "*.galaxy");
            EXPECT_EQ(names(read.subfolders), (std::vector<std::string>{"A", "b", "c"}));
            EXPECT_EQ(names(read.files), (std::vector<std::string>{"alpha.GALAXY", "Zed.galaxy"}));
            // Each subfolder's identity as its own open gives it, where its folder's is given.
            for (const auto& subfolder : read.subfolders) {
                EXPECT_EQ(subfolder.identity, own.empty() ? "" : identity(at(subfolder.name)))
                    << subfolder.name;
            }
        }
    }
    EXPECT_EQ(fs_.readfolder(folder_, "", "*.*").files.size(), 4u);
    EXPECT_TRUE(fs_.readfolder(folder_, "", "").files.empty()) << "no pattern, no files";
    const FolderContents empty = fs_.readfolder(at("A"), "", "*.*");
    EXPECT_TRUE(empty.subfolders.empty() && empty.files.empty());
}

// The listing gives each name the short name it has, and the short name reaches the same file.
TEST_F(Win32FileSystemTest, ListedShortNamesReachWhatTheirNamesDo) {
    makefile("a long name.galaxy", "long");
    makefolder("a long folder name");
    const FolderContents read = fs_.readfolder(folder_, "", "*.galaxy");
    ASSERT_EQ(read.files.size(), 1u);
    ASSERT_EQ(read.subfolders.size(), 1u);
    for (const FolderEntry& entry : {read.files[0], read.subfolders[0]}) {
        SCOPED_TRACE(entry.name);
        ASSERT_FALSE(entry.shortname.empty());
        EXPECT_NE(entry.shortname, entry.name);
        EXPECT_EQ(identity(at(entry.shortname)), identity(at(entry.name)));
    }
}

TEST_F(Win32FileSystemTest, ListingAFolderThatCannotBeOpenedFails) {
    const std::string absent = at("absent");
    for (const char* pattern : {"", "*.*"}) {
        try {
            fs_.readfolder(absent, identity(folder_), pattern);
            FAIL() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(std::string(failure.what()).rfind("Path not found: " + absent, 0), 0u)
                << failure.what();
        }
    }
}

TEST(Win32Drives, AreLetterAndColon) {
    const std::vector<std::string> drives = Win32FileSystem().drives();
    ASSERT_FALSE(drives.empty());
    for (const std::string& drive : drives) {
        EXPECT_EQ(drive.size(), 2u);
        EXPECT_EQ(drive[1], ':');
    }
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:"), drives.end());
}

TEST(Win32PlatformTest, EnvironmentTellsAbsentFromPresentAndKeepsLongValues) {
    Win32Platform platform;
    const std::string longvalue(1000, 'v');
    SetEnvironmentVariableA("HOSTENV_TEST_LONG", longvalue.c_str());
    SetEnvironmentVariableA("HOSTENV_TEST_ABSENT", nullptr);
    EXPECT_EQ(platform.environment("HOSTENV_TEST_LONG"), longvalue);
    EXPECT_EQ(platform.environment("HOSTENV_TEST_ABSENT"), std::nullopt);
    EXPECT_TRUE(platform.environment("windir").has_value());
}

TEST(Win32PlatformTest, VersionQuerySucceedsOnTheNtFamily) {
    const auto version = Win32Platform().windowsversion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->family, WindowsVersion::Family::nt);
    EXPECT_GE(version->major, 5u);
}

std::string thisprogram() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return narrow(path);
}

TEST(Win32PlatformTest, ReadsTheProductVersionOfAVersionResource) {
    Win32Platform platform;
    EXPECT_EQ(platform.productversion(thisprogram()), (ProductVersion{1, 52, 40000, 3}))
        << "the product version, not the file version 9.8.7.6";
    EXPECT_EQ(getfileversion(platform, thisprogram()), "1.52.40000.3");

    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, MAX_PATH);
    EXPECT_EQ(platform.productversion(std::string(windir) + "\\win.ini"), std::nullopt);
    EXPECT_EQ(platform.productversion("C:\\no\\such\\file.exe"), std::nullopt);
}

TEST(Win32PlatformTest, TheLocalApplicationDataFolderIsAFullPath) {
    const FolderAnswer answer = Win32Platform().localappfolder();
    EXPECT_EQ(answer.result, 0u);
    ASSERT_GE(answer.path.size(), 3u);
    EXPECT_EQ(answer.path.substr(1, 2), ":\\");
    EXPECT_EQ(answer.path.find('\0'), std::string::npos);
}

// A test key of the current user, removed again.
class RegistryTest : public ::testing::Test {
  protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\HostenvWin32Test"); }
    static void set(const wchar_t* name, DWORD type, const std::wstring& text) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HostenvWin32Test", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(created, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(created);
    }
    static constexpr const char* key = "HKEY_CURRENT_USER\\Software\\HostenvWin32Test\\";
};

TEST_F(RegistryTest, ReadsTextValuesAndAnswersNoneForTheRest) {
    set(L"Path", REG_SZ, L"C:\\Games\\Zarn");
    set(L"Unicode", REG_SZ, L"C:\\\x5F20\x4F1F\\Spiele");
    set(L"Number", REG_DWORD, L"");
    Win32Platform platform;
    EXPECT_EQ(platform.registrytext(std::string(key) + "Path"), "C:\\Games\\Zarn");
    EXPECT_EQ(platform.registrytext("HKCU\\Software\\HostenvWin32Test\\Path"), "C:\\Games\\Zarn");
    EXPECT_EQ(platform.registrytext(std::string(key) + "Unicode"),
              "C:\\\xE5\xBC\xA0\xE4\xBC\x9F\\Spiele");
    EXPECT_EQ(platform.registrytext(std::string(key) + "Absent"), std::nullopt);
    EXPECT_EQ(platform.registrytext(std::string(key) + "Number"), std::nullopt);
    EXPECT_EQ(platform.registrytext("HKEY_CURRENT_USER\\Software\\NoSuchKey\\Path"), std::nullopt);
    EXPECT_EQ(platform.registrytext("HKEY_NOWHERE\\Software\\HostenvWin32Test\\Path"),
              std::nullopt);
}

TEST_F(RegistryTest, AnExpandableTextComesExpanded) {
    set(L"Path", REG_EXPAND_SZ, L"%SystemDrive%\\Games\\Zarn");
    set(L"Plain", REG_SZ, L"%SystemDrive%\\Games\\Zarn");
    wchar_t drive[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH), 0u);
    Win32Platform platform;
    EXPECT_EQ(platform.registrytext(std::string(key) + "Path"), narrow(drive) + "\\Games\\Zarn");
    EXPECT_EQ(platform.registrytext(std::string(key) + "Plain"), "%SystemDrive%\\Games\\Zarn")
        << "a plain text is taken as it is";
}

// What decides the largest galaxy galmend converts: 2 GB, or up to 4 GB for a 32-bit program
// marked large-address-aware on a 64-bit Windows, and far more for a 64-bit one.
TEST(Win32PlatformTest, TheAddressSpaceIsThatOfTheProgramsBitness) {
    constexpr std::uint64_t gb = std::uint64_t{1} << 30;
    const std::uint64_t space = Win32Platform().addressspace();
    if (sizeof(void*) == 4) {
        EXPECT_GE(space, 2 * gb - 2 * 65536);
        EXPECT_LE(space, 4 * gb);
    } else {
        EXPECT_GT(space, 64 * gb);
    }
}

TEST(Win32TextTest, NamesRoundTripBetweenUtf8AndUtf16) {
    for (const std::string name :
         {"", "plain.galaxy", "Caf\xC3\xA9.galaxy", "\xE6\x98\x9F\xE7\xB3\xBB.galaxy",
          "\xF0\x9F\x8C\x8C.galaxy", "\xC5\x81ukasz"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(narrow(widen(name)), name);
    }
    EXPECT_EQ(widen("\xE6\x98\x9F"), std::wstring(L"\x661F"));
}

TEST(Win32TextTest, TheAnsiFormOfANameIsExactOrNone) {
    // Wine's default prefix, as a western Windows, has code page 1252.
    ASSERT_EQ(GetACP(), 1252u);
    Win32Platform platform;
    EXPECT_EQ(platform.toansi("Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(platform.toansi("\xE2\x82\xAC"), "\x80") << "the euro sign has a byte of its own";
    EXPECT_EQ(platform.toansi("\xC5\x81ukasz"), std::nullopt) << "no best fit: L for \xC5\x81";
    EXPECT_EQ(platform.toansi("\xE6\x98\x9F\xE7\xB3\xBB"), std::nullopt);
    EXPECT_EQ(platform.toansi(""), "");
    EXPECT_EQ(platform.fromansi("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(Win32TextTest, EveryCodePageGivesAnExactFormOrNone) {
    const struct {
        unsigned codepage;
        const char* text;
        std::optional<std::string> bytes;
    } cases[] = {
        {CP_UTF8, "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {CP_UTF8, "\xE6\x98\x9F\xE7\xB3\xBB.galaxy", "\xE6\x98\x9F\xE7\xB3\xBB.galaxy"},
        {CP_UTF8, "\xC5\x81ukasz", "\xC5\x81ukasz"},
        {CP_UTF8, "\xF0\x9F\x8C\x8C", "\xF0\x9F\x8C\x8C"},
        {1252, "Caf\xC3\xA9", "Caf\xE9"},
        {1252, "\xC5\x81ukasz", std::nullopt},
        {1252, "\xE6\x98\x9F", std::nullopt},
        {932, "\xE6\x98\x9F\xE7\xB3\xBB", "\x90\xAF\x8C\x6E"},
        {932, "plain", "plain"},
        {932, "\xC5\x81ukasz", std::nullopt},
        {932, "Caf\xC3\xA9", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.codepage) + " " + c.text);
        EXPECT_EQ(toansi(c.text, c.codepage), c.bytes);
        if (c.bytes) {
            EXPECT_EQ(fromansi(*c.bytes, c.codepage), c.text);
        }
        EXPECT_EQ(toansi("", c.codepage), "");
    }
}

TEST(Win32TextTest, AbsolutePathsTakeTheVerbatimFormResolvedHere) {
    const struct {
        const char* path;
        const wchar_t* wide;
    } cases[] = {
        {"C:\\Games\\Zarn\\nul.galaxy", L"\\\\?\\C:\\Games\\Zarn\\nul.galaxy"},
        {"C:\\maps.\\dot.galaxy.", L"\\\\?\\C:\\maps.\\dot.galaxy."},
        {"C:\\maps\\space.galaxy ", L"\\\\?\\C:\\maps\\space.galaxy "},
        {"C:/a/./b//c/../d", L"\\\\?\\C:\\a\\b\\d"},
        {"C:\\a\\..\\..\\b", L"\\\\?\\C:\\b"},
        {"C:\\", L"\\\\?\\C:\\"},
        {"C:\\maps\\", L"\\\\?\\C:\\maps\\"},
        {"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        {"\\\\?\\C:\\as\\it\\is.", L"\\\\?\\C:\\as\\it\\is."},
        {"relative.txt", L"relative.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(widepath(c.path), std::wstring(c.wide));
    }
}

// Names the system would otherwise take for devices, or trim, are files like any other.
TEST_F(Win32FileSystemTest, DeviceNamesAndTrailingDotsAndBlanksAreOrdinaryNames) {
    makefolder("maps");
    ASSERT_TRUE(fs_.createfile(at("maps\\a.galaxy"), "maps\r\n"));
    ASSERT_TRUE(CreateDirectoryW(widepath(at("maps.")).c_str(), nullptr));
    ASSERT_TRUE(fs_.createfile(at("maps.\\b.galaxy"), "dotted\r\n"));
    EXPECT_EQ(names(fs_.readfolder(folder_, "", "").subfolders),
              (std::vector<std::string>{"maps", "maps."}));
    EXPECT_EQ(names(fs_.readfolder(at("maps"), "", "*.galaxy").files),
              std::vector<std::string>{"a.galaxy"});
    EXPECT_EQ(names(fs_.readfolder(at("maps."), "", "*.galaxy").files),
              std::vector<std::string>{"b.galaxy"});
    for (const char* name : {"nul.galaxy", "CON.galaxy", "dot.galaxy.", "space.galaxy "}) {
        SCOPED_TRACE(name);
        const std::string path = at(std::string("maps\\") + name);
        ASSERT_TRUE(fs_.createfile(path, "old\r\n"));
        EXPECT_EQ(fs_.lookup(path, Entries::files), name);
        EXPECT_EQ(fs_.readfile(path), "old\r\n");
        ASSERT_TRUE(fs_.createfile(path + ".new", "new\r\n"));
        fs_.moveover(path + ".new", path);
        EXPECT_EQ(fs_.readfile(path), "new\r\n");
        EXPECT_EQ(fs_.describe(path, Ask::target).target, std::nullopt);
        fs_.remove(path);
        EXPECT_EQ(fs_.lookup(path, Entries::files), std::nullopt);
    }
    EXPECT_EQ(fs_.readfile(at("maps\\a.galaxy")), "maps\r\n");
}

// The test script puts Unix symbolic links in the folder named by HOSTENV_LINKS: "file.link"
// to "outside.txt" in "HOSTENV_LINKS_OUTSIDE". Wine shows them as the files they lead to.
TEST(Win32LinkTest, ALinkIsToldFromAnOrdinaryFileAndNamesWhereItLeads) {
    char links[MAX_PATH] = {};
    char outside[MAX_PATH] = {};
    if (GetEnvironmentVariableA("HOSTENV_LINKS", links, MAX_PATH) == 0 ||
        GetEnvironmentVariableA("HOSTENV_LINKS_OUTSIDE", outside, MAX_PATH) == 0) {
        GTEST_SKIP() << "no links prepared";
    }
    Win32FileSystem fs;
    const std::string folder = links;
    EXPECT_EQ(fs.describe(folder + "\\plain.txt", Ask::target).target, std::nullopt);
    EXPECT_EQ(fs.describe(folder + "\\absent.txt", Ask::target).target, std::nullopt);
    const Description link = fs.describe(folder + "\\file.link", Ask::target);
    ASSERT_TRUE(link.target.has_value());
    EXPECT_EQ(lower(*link.target), lower(std::string(outside) + "\\outside.txt"));
    EXPECT_EQ(link.what, What::file);
    EXPECT_EQ(link.size, 8u) << "what it leads to, as Wine shows it";
    const auto final = fs.describe(folder + "\\file.link", Ask::final).final;
    ASSERT_TRUE(final.has_value());
    EXPECT_EQ(lower(*final), lower(*link.target)) << "the final path follows the link too";
    EXPECT_EQ(fs.readfile(std::string(outside) + "\\outside.txt"), "outside\n");
}

// The test script puts names Windows forbids, as a Linux folder seen through Wine may hold
// them, in the folder named by HOSTENV_FORBIDDEN: "q\"uote.galaxy", "line<LF>feed.galaxy" and
// "fo\"lder\\inner.galaxy" hold "forbidden\n"; "tab<TAB>name.galaxy" and "plain.galaxy" hold
// "plain\n". The script checks afterwards what is left.
std::optional<std::string> forbiddenfolder() {
    char folder[MAX_PATH] = {};
    if (GetEnvironmentVariableA("HOSTENV_FORBIDDEN", folder, MAX_PATH) == 0) return std::nullopt;
    return std::string(folder);
}

bool holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(Win32ForbiddenNames, AreReachedThroughTheirShortNamesAndKeepTheirOwn) {
    const auto folder = forbiddenfolder();
    if (!folder) GTEST_SKIP() << "no names prepared";
    Win32FileSystem fs;
    const std::string plain = *folder + "\\plain.galaxy";
    const struct {
        const char* name;
        // A plain name the file is given before it is removed; none: removed by its own.
        const char* renamed;
    } cases[] = {
        {"q\"uote.galaxy", "unquoted.galaxy"},
        {"line\nfeed.galaxy", nullptr},
        {"fo\"lder\\inner.galaxy", "moved.galaxy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shownpath(c.name));
        const std::string path = *folder + "\\" + c.name;
        const std::string within = path.substr(0, lastcomponentstart(path) - 1);
        const std::string own(lastcomponent(path));
        const std::vector<std::string> before = names(fs.readfolder(within, "", "*.*").files);
        EXPECT_TRUE(holds(before, own));
        EXPECT_EQ(fs.lookup(path, Entries::files), own);
        EXPECT_EQ(fs.describe(path, 0).size, 10u);
        EXPECT_EQ(fs.readfile(path), "forbidden\n");
        std::string part;
        fs.readpart(path, 4, 5, part);
        EXPECT_EQ(part, "idden");
        const Description found = fs.describe(path, Ask::target);
        EXPECT_EQ(found.target, std::nullopt) << "no link: where it leads is its own name";
        EXPECT_EQ(found.what, What::file);
        EXPECT_NE(fs.describe(path, Ask::identity).identity,
                  fs.describe(plain, Ask::identity).identity);

        // A fix's and a restore's steps: the bytes read, new ones moved over the name.
        const std::string temporary = within + "\\~zarn1.tmp";
        ASSERT_TRUE(fs.createfile(temporary, "new " + fs.readfile(path)));
        fs.moveover(temporary, path);
        EXPECT_EQ(fs.readfile(path), "new forbidden\n");
        EXPECT_EQ(names(fs.readfolder(within, "", "*.*").files), before)
            << "the long name is kept, no other came";

        std::string gone = path;
        if (c.renamed) {
            gone = within + "\\" + c.renamed;
            fs.rename(path, gone);
            EXPECT_EQ(fs.readfile(gone), "new forbidden\n");
            EXPECT_EQ(fs.lookup(path, Entries::files), std::nullopt);
        }
        fs.remove(gone);
        EXPECT_EQ(fs.lookup(gone, Entries::files), std::nullopt);
        EXPECT_FALSE(holds(names(fs.readfolder(within, "", "*.*").files), own));
    }
    // A folder so named is listed, and read, as any other; the short name it is reached by is
    // the one its listing gives.
    EXPECT_TRUE(fs.hasfolder(*folder + "\\fo\"lder"));
    const std::string named = fs.describe(*folder + "\\fo\"lder", Ask::identity).identity;
    const FolderContents read =
        fs.readfolder(*folder, fs.describe(*folder, Ask::identity).identity, "*.galaxy");
    ASSERT_EQ(names(read.subfolders), std::vector<std::string>{"fo\"lder"});
    EXPECT_EQ(read.subfolders[0].identity, named);
    ASSERT_FALSE(read.subfolders[0].shortname.empty());
    EXPECT_EQ(fs.describe(*folder + "\\" + read.subfolders[0].shortname, Ask::identity).identity,
              named);
    EXPECT_EQ(fs.readfile(plain), "plain\n");
}

// Wine's short name of a name with a tab keeps the tab: nothing reaches it. Each operation
// fails, naming it, with the system's reason, and harms nothing.
TEST(Win32ForbiddenNames, ANameNothingReachesFailsWithTheSystemsReason) {
    const auto folder = forbiddenfolder();
    if (!folder) GTEST_SKIP() << "no names prepared";
    Win32FileSystem fs;
    const std::string path = *folder + "\\tab\tname.galaxy";
    const std::string temporary = *folder + "\\~zarn2.tmp";
    ASSERT_TRUE(fs.createfile(temporary, "new\n"));
    EXPECT_EQ(fs.lookup(path, Entries::files), "tab\tname.galaxy") << "it is listed";
    const struct {
        const char* what;
        std::function<void()> operation;
    } cases[] = {
        {"Cannot open ", [&] { fs.readfile(path); }},
        {"Cannot look for ", [&] { fs.describe(path, 0); }},
        {"Cannot replace ", [&] { fs.moveover(temporary, path); }},
        {"Cannot delete ", [&] { fs.remove(path); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.operation();
            ADD_FAILURE() << "reached";
        } catch (const Failure& failure) {
            const std::string what = failure.what();
            const std::string named = c.what + path + "\r\n";
            EXPECT_EQ(what.rfind(named, 0), 0u) << shownpath(what);
            EXPECT_GT(what.size(), named.size()) << "the system's reason follows";
        }
    }
    EXPECT_EQ(fs.readfile(temporary), "new\n");
    fs.remove(temporary);
    EXPECT_TRUE(holds(names(fs.readfolder(*folder, "", "*.galaxy").files), "tab\tname.galaxy"));
}

// The name of the lock test's event which ("held" or "end") for the lock called lock: a
// backslash would make it a path of namespaces.
std::wstring eventname(const std::string& lock, const char* which) {
    std::wstring name = widen(lock + "." + which);
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name;
}

// The lock test starts this program again for this part alone: it takes the lock named by
// HOSTENV_LOCK, says so through its event "held" and holds the lock until its event "end" is
// set, at most 30 seconds, or it is killed.
TEST(Win32LockHolder, DISABLED_HoldsTheLockUntilToldToEnd) {
    const auto name = Win32Platform().environment("HOSTENV_LOCK");
    ASSERT_TRUE(name.has_value());
    const auto lock = Win32Platform().takelock(*name);
    ASSERT_NE(lock, nullptr);
    const HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventname(*name, "held").c_str());
    const HANDLE end = OpenEventW(SYNCHRONIZE, FALSE, eventname(*name, "end").c_str());
    ASSERT_TRUE(held != nullptr && end != nullptr);
    SetEvent(held);
    EXPECT_EQ(WaitForSingleObject(end, 30000), WAIT_OBJECT_0);
    CloseHandle(held);
    CloseHandle(end);
}

// This program started again as the lock's holder, its output to NUL; killed if it still runs
// when it goes.
class LockHolder {
  public:
    explicit LockHolder(const std::string& name) {
        SetEnvironmentVariableW(L"HOSTENV_LOCK", widen(name).c_str());
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        nul_ = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                           OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = nul_;
        startup.hStdError = nul_;
        std::wstring commandline = L"\"" + widen(thisprogram()) +
                                   L"\" --gtest_also_run_disabled_tests"
                                   L" --gtest_filter=Win32LockHolder.*";
        PROCESS_INFORMATION started{};
        if (CreateProcessW(nullptr, commandline.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &started)) {
            CloseHandle(started.hThread);
            process = started.hProcess;
            id = started.dwProcessId;
        }
        SetEnvironmentVariableW(L"HOSTENV_LOCK", nullptr);
    }
    ~LockHolder() {
        if (process != nullptr) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
        if (nul_ != INVALID_HANDLE_VALUE) CloseHandle(nul_);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    HANDLE process = nullptr;
    DWORD id = 0;

  private:
    HANDLE nul_ = INVALID_HANDLE_VALUE;
};

TEST(Win32PlatformTest, ALockIsOneProcesssAtATimeAndFreeOnceItEndsHoweverItEnds) {
    Win32Platform platform;
    EXPECT_TRUE(platform.processruns(GetCurrentProcessId()));
    EXPECT_FALSE(platform.processruns(GetCurrentProcessId() + 1))
        << "an id the system reads as this process's is another's";
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "ended");
        // A backslash, which the namespace's would follow, is a name's character like any other.
        const std::string name = "\\hostenv\\lock test " + std::to_string(GetCurrentProcessId()) +
                                 (killed ? " killed" : " ended");
        const HANDLE held = CreateEventW(nullptr, TRUE, FALSE, eventname(name, "held").c_str());
        const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, eventname(name, "end").c_str());
        ASSERT_TRUE(held != nullptr && end != nullptr);
        {
            LockHolder holder(name);
            ASSERT_NE(holder.process, nullptr) << "the holder did not start";
            const HANDLE either[] = {held, holder.process};
            ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 20000), WAIT_OBJECT_0)
                << "the holder did not take the lock";
            EXPECT_EQ(platform.takelock(name), nullptr) << "another process holds it";
            EXPECT_TRUE(platform.processruns(holder.id));
            if (killed) {
                TerminateProcess(holder.process, 9);
            } else {
                SetEvent(end);
            }
            ASSERT_EQ(WaitForSingleObject(holder.process, 20000), WAIT_OBJECT_0);
            DWORD code = 0;
            GetExitCodeProcess(holder.process, &code);
            EXPECT_EQ(code, killed ? 9u : 0u) << "the holder's own checks";
            EXPECT_FALSE(platform.processruns(holder.id));
            EXPECT_NE(platform.takelock(name), nullptr) << "free once its holder ended";
        }
        CloseHandle(held);
        CloseHandle(end);
    }
}

// A file's bytes reach a message through the code page, each character that would not show
// written out: "é" is no "�", and a version with a NUL or a byte-order mark reads differently.
TEST(Win32TextTest, FileBytesAreQuotedInTheCodePageAndVisibly) {
    ASSERT_EQ(GetACP(), 1252u);
    Win32Platform platform;
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"version 3 caf\xE9", "version 3 caf\xC3\xA9"},
        {std::string("1.52\0", 5), "1.52<NUL>"},
        {"\xEF\xBB\xBF"
         "1.52",
         "\xC3\xAF\xC2\xBB\xC2\xBF"
         "1.52"},
        {"1.52\x81\xA0", "1.52<U+0081><U+00A0>"},
        {std::string("\xFF\xFE"
                     "1\0\r\0\n\0",
                     8),
         "\xC3\xBF\xC3\xBE"
         "1<NUL><U+000D><NUL><U+000A><NUL>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(visibletext(platform.fromansi(c.bytes)), c.shown);
    }
}

}  // namespace
}  // namespace hostenv::win32
