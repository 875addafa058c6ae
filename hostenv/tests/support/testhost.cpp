#include "testhost.h"

#include <fstream>
#include <random>

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv::testing {

namespace fs = std::filesystem;

std::string ScriptedShell::RegRead(const std::string& key) {
    const auto found = registry_.find(key);
    if (found == registry_.end()) throw Failure("Invalid root in registry key \"" + key + "\".");
    return found->second;
}

std::optional<std::string> ScriptedPlatform::environment(const std::string& name) {
    const auto found = env.find(name);
    if (found == env.end()) return std::nullopt;
    return found->second;
}

std::uint32_t ScriptedPlatform::versioninfosize(const std::string& path) {
    return versions.contains(lower(path)) ? 200 : 0;
}

std::optional<FixedFileInfo> ScriptedPlatform::fixedfileinfo(const std::string& path,
                                                             std::uint32_t /*size*/) {
    const auto found = versions.find(lower(path));
    if (found == versions.end()) return std::nullopt;
    return found->second;
}

std::unique_ptr<ShellObject> ScriptedPlatform::createshell() {
    if (shellfails) throw Failure("ActiveX component can't create object: WScript.Shell");
    return std::make_unique<ScriptedShell>(registry);
}

FolderQuery ScriptedPlatform::specialfolder(int csidl) {
    folderqueries.push_back(csidl);
    return folder;
}

void ScriptedPlatform::setversion(const std::string& path, unsigned a, unsigned b, unsigned c,
                                  unsigned d) {
    FixedFileInfo info{};
    const unsigned words[] = {a << 16 | b, c << 16 | d};
    for (int w = 0; w < 2; ++w) {
        for (int byte = 0; byte < 4; ++byte) {
            info[static_cast<std::size_t>(16 + 4 * w + byte)] =
                static_cast<unsigned char>(words[w] >> (8 * byte));
        }
    }
    versions[lower(path)] = info;
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

void TempDrive::makefolder(const std::string& windowspath) {
    fs::create_directories(host(windowspath));
}

}  // namespace hostenv::testing
