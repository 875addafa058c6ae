// Replacing a file so that it is always either the old file or the new one, complete.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hostenv/filesystem.h"
#include "hostenv/platform.h"

namespace hostenv {

// A new text for path, complete in a temporary file in path's folder and written through to
// the disk. The temporary name matches neither "*.galaxy" nor "galaxy.manifest". Until the
// text is put in place path is untouched, and a text never put in place is removed.
class StagedFile {
  public:
    // Throws Failure, with nothing left behind, when the temporary file cannot be written.
    StagedFile(FileSystem& fs, std::string path, std::string_view bytes);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Moves the new text over path in one step; on failure the temporary file is removed.
    void replace();
    // Gives the new text the name path, which must not exist; on failure the temporary
    // file is removed.
    void create();

  private:
    void discard() noexcept;

    FileSystem& fs_;
    std::string path_;
    std::string temporary_;
};

// Writes bytes to a temporary file beside path and moves it over path in one step. On
// failure path is untouched and no temporary file is left; throws Failure.
void safereplace(FileSystem& fs, const std::string& path, std::string_view bytes);

// Temporary files are named "~<program>-<process id>-<n>.tmp", a name no player would
// choose; a program names its own once at its start.
void nametemporaries(std::string_view program, std::uint32_t processid);
// Whether name is one that galmend or tallyhold gives its temporary files, letter case
// aside. The "~zarnN.tmp" of earlier releases is not: a player may have chosen it.
bool isourtemporary(std::string_view name);

// Removes the temporary files that earlier runs left in folder (a run that was killed
// leaves one), where they can be deleted; one whose process still runs (a second run at
// the same time), one that cannot be deleted (still open elsewhere), and a link, even one
// named like ours, are left alone.
void removestaletemporaries(FileSystem& fs, Platform& platform, const std::string& folder);

}  // namespace hostenv
