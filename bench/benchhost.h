// What the benchmarks do differently on the native host and on Windows: the programs'
// file system, the plain operations they are measured against, and the peak memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace bench {

// The file system the programs get, and the Windows path of a host folder.
class HostFiles {
  public:
    virtual ~HostFiles() = default;
    virtual hostenv::FileSystem& fs() = 0;
    // path must lie below the root that hostfiles() was given.
    virtual std::string windowspath(const std::filesystem::path& path) const = 0;
};

// The file system over root (natively, root becomes drive C).
std::unique_ptr<HostFiles> hostfiles(const std::filesystem::path& root);

// Which file system the programs run on here.
const char* hostname();

// Copies from to the new file to with the host's own calls; flushed to the disk when flush.
void copyfile(const std::filesystem::path& from, const std::filesystem::path& to, bool flush);

// Rewrites file with its own bytes as the least a safe rewrite must do: read whole, written to
// a new file beside it, flushed to the disk, closed, and moved over it in one step.
void replacewithcopy(const std::filesystem::path& file);

// Writes text to the file to, made or emptied, with one write of the host's own; not flushed.
void writefile(const std::filesystem::path& to, std::string_view text);

// Writes everything below folder through to the disk, so that a timed run does not pay
// for what was written before it.
void syncfolder(const std::filesystem::path& folder);

// The paths of the "*.galaxy" files below folder (letter case aside), by the host's plain
// recursive folder listing.
std::vector<std::string> plainsearch(const std::filesystem::path& folder);

// The most findgalaxies may take, as a multiple of plainsearch: under Wine every listing and
// every handle the walk opens for a folder's identity crosses to the Wine server, which a
// plain listing pays once per folder.
double discoverytarget();

// The process's peak resident memory in bytes.
std::uint64_t peakmemory();

// Runs this benchmark's own executable anew with these arguments, its output going where
// ours goes, and gives its exit code: a fresh process has a peak of its own.
int runself(const std::vector<std::string>& args);

}  // namespace bench
