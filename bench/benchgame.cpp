#include "benchgame.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <stdexcept>

#include "hostenv/paths.h"

namespace bench {

namespace fs = std::filesystem;

std::string QuietPlatform::localtimestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H-%M-%S", std::localtime(&now));
    return text;
}

void QuietUi::messagebox(const std::string& text) {
    // The benchmarked procedures show messages only on failures.
    throw std::runtime_error(program_ + " says: " + text);
}

void QuietUi::endprogram(int exitcode) {
    throw std::runtime_error(program_ + " ended with exit code " + std::to_string(exitcode));
}

void RecordingUi::endprogram(int exitcode) {
    throw std::runtime_error("ended with exit code " + std::to_string(exitcode));
}

void writetargetversion(const fs::path& root) {
    fs::create_directories(root / "tools");
    writefile(root / "tools" / "targetzarnver.txt", "1.52.0.3\r\n");
}

void installgalmend(const fs::path& root, const fs::path& datafolder) {
    writetargetversion(root);
    for (const char* name : {"oldstruct.txt", "newstruct.txt", "original zarn galaxies.txt"}) {
        // Removed first: mingw's copy_file does not overwrite.
        fs::remove(root / "tools" / name);
        fs::copy_file(datafolder / name, root / "tools" / name);
    }
    fs::current_path(root / "tools");
}

std::array<std::string, 2> benchgalaxyfolders(HostFiles& files, const fs::path& root,
                                              const fs::path& gamefolder) {
    fs::create_directories(root / "user");
    return {hostenv::withseparator(files.windowspath(gamefolder)),
            hostenv::withseparator(files.windowspath(root / "user"))};
}

BenchGalmend::BenchGalmend(HostFiles& files, const fs::path& root, const fs::path& gamefolder,
                           const fs::path& datafolder, Backups backups)
    : discard_(files.fs()),
      form_(backups == Backups::kept ? files.fs() : discard_, platform_, ui_) {
    installgalmend(root, datafolder);
    form_.loadold();
    form_.loadnew();
    form_.loadoriginalmaps();
    form_.galaxyfolders = benchgalaxyfolders(files, root, gamefolder);
    // Set here as findgalaxyfolders would set it from the platform: a fix refuses to rewrite
    // without the folder for its backup sets.
    fs::create_directories(root / "appdata");
    form_.localappfolder = files.windowspath(root / "appdata");
}

BenchTallyhold::BenchTallyhold(HostFiles& files, const fs::path& root, const fs::path& gamefolder)
    : form_(files.fs(), platform_, ui_) {
    form_.galaxyfolders = benchgalaxyfolders(files, root, gamefolder);
}

Options::Options(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (!name.starts_with("--")) throw std::runtime_error("unexpected argument " + name);
        values_[name.substr(2)] =
            i + 1 < argc && !std::string(argv[i + 1]).starts_with("--") ? argv[++i] : "";
    }
}

std::string Options::text(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

long long Options::number(const std::string& name, long long fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : std::stoll(found->second);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void report(const char* what, const std::vector<double>& times) {
    std::cout << std::left << std::setw(24) << what << std::right << std::fixed
              << std::setprecision(3);
    for (double time : times) std::cout << std::setw(8) << time;
    std::cout << "   median " << median(times) << " s\n";
}

TreeShape treeshape(const Options& options) {
    if (options.has("siblings"))
        return siblingshape(static_cast<int>(options.number("siblings", 0)));
    TreeShape shape;
    shape.folders = static_cast<int>(options.number("folders", shape.folders));
    shape.files = static_cast<int>(options.number("files", shape.files));
    return shape;
}

fs::path defaultroot(const char* name) {
    return fs::temp_directory_path() / name;
}

}  // namespace bench
