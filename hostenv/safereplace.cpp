#include "hostenv/safereplace.h"

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv {

namespace {

unsigned tempcounter = 0;

constexpr const char* temporaryprefix = "~zarn";
constexpr const char* temporarypattern = "~zarn*.tmp";

std::string folderof(const std::string& path) {
    return path.substr(0, lastcomponentstart(path));
}

// Creates a temporary file with bytes beside path and returns its name.
std::string writetemporary(FileSystem& fs, const std::string& path, std::string_view bytes) {
    const std::string folder = folderof(path);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string temporary =
            folder + temporaryprefix + std::to_string(tempcounter++) + ".tmp";
        if (fs.createfile(temporary, bytes)) return temporary;
    }
    throw Failure("Cannot create a temporary file in \"" + folder + "\" to write \"" + path +
                  "\": every name tried exists.");
}

// Only the names writetemporary gives: "~zarn", digits, ".tmp".
bool isourtemporary(std::string_view name) {
    const std::string lowered = lower(name);
    const std::string_view prefix = temporaryprefix;
    if (!lowered.starts_with(prefix) || !lowered.ends_with(".tmp")) return false;
    const std::string_view digits =
        std::string_view(lowered).substr(prefix.size(), lowered.size() - prefix.size() - 4);
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

StagedFile::StagedFile(FileSystem& fs, std::string path, std::string_view bytes)
    : fs_(fs), path_(std::move(path)), temporary_(writetemporary(fs, path_, bytes)) {}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::discard() noexcept {
    if (temporary_.empty()) return;
    try {
        fs_.remove(temporary_);
    } catch (const Failure&) {
        // The failure that brought us here is the one to report; the name is ours alone,
        // and a later run removes the file.
    }
    temporary_.clear();
}

void StagedFile::replace() {
    try {
        fs_.moveover(temporary_, path_);
    } catch (...) {
        discard();
        throw;
    }
    temporary_.clear();
}

void StagedFile::create() {
    try {
        fs_.rename(temporary_, path_);
    } catch (...) {
        discard();
        throw;
    }
    temporary_.clear();
}

void safereplace(FileSystem& fs, const std::string& path, std::string_view bytes) {
    StagedFile(fs, path, bytes).replace();
}

void removestaletemporaries(FileSystem& fs, const std::string& folder) {
    const std::string separated = folder.ends_with("\\") ? folder : folder + "\\";
    std::vector<std::string> names;
    try {
        names = fs.files(separated, temporarypattern);
    } catch (const Failure&) {
        return;  // the write that follows fails with the folder's own reason
    }
    for (const auto& name : names) {
        if (!isourtemporary(name)) continue;
        try {
            fs.remove(separated + name);
        } catch (const Failure&) {
            // Still open in another program, or not ours to delete: left as it is.
        }
    }
}

}  // namespace hostenv
