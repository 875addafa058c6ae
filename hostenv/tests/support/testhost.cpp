#include "testhost.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv::testing {

namespace fs = std::filesystem;

std::optional<std::string> ScriptedPlatform::environment(const std::string& name) {
    const auto found = env.find(name);
    if (found == env.end()) return std::nullopt;
    return found->second;
}

std::optional<ProductVersion> ScriptedPlatform::productversion(const std::string& path) {
    const auto found = versions.find(lower(path));
    if (found == versions.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> ScriptedPlatform::registrytext(const std::string& key) {
    const auto found = registry.find(key);
    if (found == registry.end()) return std::nullopt;
    return found->second;
}

FolderAnswer ScriptedPlatform::localappfolder() {
    ++folderqueries;
    return folder;
}

std::set<std::string>& ScriptedPlatform::heldlocks() {
    static std::set<std::string> held;
    return held;
}

namespace {

class ScriptedLock : public HeldLock {
  public:
    explicit ScriptedLock(std::string name) : name_(std::move(name)) {}
    ~ScriptedLock() override { ScriptedPlatform::heldlocks().erase(name_); }

  private:
    std::string name_;
};

}  // namespace

std::unique_ptr<HeldLock> ScriptedPlatform::takelock(const std::string& name) {
    if (!heldlocks().insert(name).second) return nullptr;
    return std::make_unique<ScriptedLock>(name);
}

namespace {

// Windows-1252 from 0x80 to 0x9F; 0 for the five bytes that Windows maps to the control
// characters of their own value.
constexpr char32_t cp1252high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t ansichar(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0 && cp1252high[byte - 0x80] != 0) {
        return cp1252high[byte - 0x80];
    }
    return byte;
}

}  // namespace

std::string ScriptedPlatform::fromansi(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) appendutf8(text, ansichar(static_cast<unsigned char>(byte)));
    return text;
}

std::optional<std::string> ScriptedPlatform::toansi(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k) {
            c = c << 6 | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        i += static_cast<std::size_t>(length);
        int found = -1;
        for (int byte = 0; byte < 256 && found < 0; ++byte) {
            if (ansichar(static_cast<unsigned char>(byte)) == c) found = byte;
        }
        if (found < 0) return std::nullopt;
        bytes += static_cast<char>(found);
    }
    return bytes;
}

void ScriptedPlatform::setversion(const std::string& path, unsigned a, unsigned b, unsigned c,
                                  unsigned d) {
    versions[lower(path)] = {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b),
                             static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(d)};
}

namespace {

fs::path makeroot() {
    std::random_device random;
    const fs::path root = fs::temp_directory_path() / ("zarn-test-" + std::to_string(random()));
    fs::create_directories(root / "tools");
    return root;
}

}  // namespace

TempDrive::TempDrive() : fs({}, cwd), root_(makeroot()) {
    fs = posix::PosixFileSystem({{'C', root_}}, cwd);
}

TempDrive::~TempDrive() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

fs::path TempDrive::host(const std::string& windowspath) const {
    std::string full = windowspath;
    if (full.size() < 2 || full[1] != ':') full = std::string(cwd) + "\\" + full;
    fs::path result = root_;
    std::string part;
    for (char c : full.substr(3) + "\\") {
        if (c != '\\') {
            part += c;
        } else if (!part.empty()) {
            result /= part;
            part.clear();
        }
    }
    return result;
}

void TempDrive::write(const std::string& windowspath, const std::string& bytes) {
    const fs::path target = host(windowspath);
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << bytes;
}

void TempDrive::touch(std::initializer_list<std::string> windowspaths) {
    for (const auto& path : windowspaths) write(path, "");
}

void TempDrive::makefolder(const std::string& windowspath) {
    fs::create_directories(host(windowspath));
}

std::string TempDrive::read(const std::string& windowspath) const {
    std::ifstream in(host(windowspath), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool TempDrive::exists(const std::string& windowspath) const {
    return fs::exists(host(windowspath));
}

std::vector<std::string> TempDrive::names(const std::string& windowspath) const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(host(windowspath))) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> TempDrive::temporaries() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        if (entry.path().extension() == ".tmp") found.push_back(entry.path().string());
    }
    return found;
}

std::map<std::string, std::string> TempDrive::snapshot() const {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        const std::string place = entry.path().lexically_relative(root_).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_symlink(status)) {
            found[place] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_directory(status)) {
            found[place] = "folder";
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            const bool writable =
                (status.permissions() & fs::perms::owner_write) != fs::perms::none;
            found[place] = (writable ? "file " : "read-only file ") + bytes.str();
        }
    }
    return found;
}

UnreadableFiles::UnreadableFiles(const fs::path& root, std::vector<std::string> paths,
                                 std::string reason)
    : PosixFileSystem({{'C', root}}, TempDrive::cwd),
      paths_(std::move(paths)),
      reason_(std::move(reason)) {}

void UnreadableFiles::readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                               std::string& bytes) {
    if (paths_.empty() || std::find(paths_.begin(), paths_.end(), path) != paths_.end()) {
        throw Failure(reason_);
    }
    PosixFileSystem::readpart(path, offset, length, bytes);
}

}  // namespace hostenv::testing
