#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <process.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "benchhost.h"
#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"
#include "hostenv/win32/win32filesystem.h"

namespace bench {

namespace fs = std::filesystem;

namespace {

class Win32Files : public HostFiles {
  public:
    hostenv::FileSystem& fs() override { return fs_; }
    std::string windowspath(const fs::path& path) const override {
        return fs::absolute(path).make_preferred().string();
    }

  private:
    hostenv::win32::Win32FileSystem fs_;
};

[[noreturn]] void fail(const std::string& what, const fs::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": error " +
                             std::to_string(GetLastError()));
}

using hostenv::win32::FileHandle;

// The same wide calls as the programs' file system, so that both sides pay what Wine adds to
// each of them.
void search(const std::wstring& folder, std::vector<std::string>& found) {
    WIN32_FIND_DATAW entry{};
    const hostenv::win32::FindHandle handle(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!handle.valid()) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            search(folder + L"\\" + name, found);
        } else if (hostenv::matchespattern(hostenv::win32::narrow(name), "*.galaxy")) {
            found.push_back(hostenv::win32::narrow(folder + L"\\" + name));
        }
    } while (FindNextFileW(handle.get(), &entry));
}

std::wstring widened(const fs::path& path) {
    return fs::absolute(path).make_preferred().wstring();
}

}  // namespace

std::unique_ptr<HostFiles> hostfiles(const fs::path&) {
    return std::make_unique<Win32Files>();
}

const char* hostname() {
    return "Windows, Win32FileSystem";
}

void copyfile(const fs::path& from, const fs::path& to, bool flush) {
    const FileHandle in(CreateFileA(from.string().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.valid()) fail("cannot open", from);
    const FileHandle out(CreateFileA(to.string().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) fail("cannot create", to);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            fail("cannot read", from);
        }
        if (got == 0) break;
        DWORD put = 0;
        if (!WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got) {
            fail("cannot write", to);
        }
    }
    if (flush && !FlushFileBuffers(out.get())) fail("cannot flush", to);
}

void replacewithcopy(const fs::path& file) {
    const std::wstring name = widened(file);
    std::string bytes;
    {
        const FileHandle in(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!in.valid() || !GetFileSizeEx(in.get(), &size)) {
            fail("cannot open", file);
        }
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(in.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
            got != bytes.size()) {
            fail("cannot read", file);
        }
    }
    const std::wstring temporary = name + L".tmp";
    const HANDLE out = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) fail("cannot create", file);
    DWORD put = 0;
    const bool written =
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
        put == bytes.size() && FlushFileBuffers(out);
    if (!CloseHandle(out) || !written) fail("cannot write a copy of", file);
    if (!MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        fail("cannot replace", file);
    }
}

void writefile(const fs::path& to, std::string_view text) {
    const FileHandle out(CreateFileA(to.string().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) fail("cannot create", to);
    DWORD put = 0;
    if (!WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr) ||
        put != text.size()) {
        fail("cannot write", to);
    }
}

void syncfolder(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const FileHandle file(CreateFileA(entry.path().string().c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() != INVALID_HANDLE_VALUE) FlushFileBuffers(file.get());
    }
}

std::vector<std::string> plainsearch(const fs::path& folder) {
    std::vector<std::string> found;
    search(widened(folder), found);
    return found;
}

double discoverytarget() {
    return 10;
}

std::uint64_t peakmemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

int runself(const std::vector<std::string>& args) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0) fail("cannot name", "this benchmark");
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(2 * self.size());
    }
    // The C runtime joins the words with blanks: each is quoted, as a path may hold blanks.
    std::vector<std::wstring> words{L"\"" + self + L"\""};
    for (const auto& arg : args) words.push_back(L"\"" + hostenv::win32::widen(arg) + L"\"");
    std::vector<const wchar_t*> argv;
    for (const auto& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    const intptr_t code = _wspawnv(_P_WAIT, self.c_str(), argv.data());
    if (code < 0) {
        throw std::runtime_error("cannot run " + hostenv::win32::narrow(self) + ": " +
                                 std::strerror(errno));
    }
    return static_cast<int>(code);
}

}  // namespace bench
