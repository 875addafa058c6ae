#include "hostenv/safereplace.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>

#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"

namespace hostenv {

namespace {

unsigned tempcounter = 0;
std::string tempowner = "~hostenv-0-";

// The programs whose temporary files a clean-up removes.
constexpr std::string_view ourprograms[] = {"galmend", "tallyhold"};

// Creates a temporary file with bytes beside path and returns its name.
std::string writetemporary(FileSystem& fs, const std::string& path, std::string_view bytes) {
    const std::string folder = withseparator(parentpath(path));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string temporary =
            joinpath(folder, tempowner + std::to_string(tempcounter++) + ".tmp");
        if (fs.createfile(temporary, bytes)) return temporary;
    }
    throw Failure("Cannot create a temporary file in \"" + folder + "\" to write \"" + path +
                  "\": every name tried exists.");
}

bool isdigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

void nametemporaries(std::string_view program, std::uint32_t processid) {
    tempowner = "~" + std::string(program) + "-" + std::to_string(processid) + "-";
}

namespace {

// The process id in one of our temporary names, "~<program>-<id>-<n>.tmp".
std::optional<std::uint32_t> temporaryowner(std::string_view name) {
    const std::string lowered = lower(name);
    std::string_view rest = lowered;
    if (!rest.starts_with('~') || !rest.ends_with(".tmp")) return std::nullopt;
    rest = rest.substr(1, rest.size() - 5);
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::string_view program = rest.substr(0, dash);
    if (std::find(std::begin(ourprograms), std::end(ourprograms), program) ==
        std::end(ourprograms)) {
        return std::nullopt;
    }
    rest = rest.substr(dash + 1);
    const std::size_t second = rest.find('-');
    if (second == std::string_view::npos || !isdigits(rest.substr(0, second)) ||
        !isdigits(rest.substr(second + 1))) {
        return std::nullopt;
    }
    std::uint32_t id = 0;
    const auto digits = rest.substr(0, second);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return id;
}

}  // namespace

bool isourtemporary(std::string_view name) {
    return temporaryowner(name).has_value();
}

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

void removestaletemporaries(FileSystem& fs, Platform& platform, const std::string& folder) {
    const std::string separated = withseparator(folder);
    std::vector<FolderEntry> files;
    try {
        files = fs.readfolder(separated, "", "~*.tmp").files;
    } catch (const Failure&) {
        return;  // the write that follows fails with the folder's own reason
    }
    for (const auto& file : files) {
        const std::string& name = file.name;
        // A run of ours that still goes stages its galaxies under its own id.
        const auto owner = temporaryowner(name);
        if (!owner || platform.processruns(*owner)) continue;
        const std::string path = joinpath(separated, name);
        try {
            // A link named like ours is not ours: deleting it could delete what it leads to.
            if (!fs.describe(path, Ask::target).target) fs.remove(path);
        } catch (const Failure&) {
            // Still open in another program, or not ours to delete: left as it is.
        }
    }
}

}  // namespace hostenv
