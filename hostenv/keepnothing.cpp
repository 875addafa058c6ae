#include "hostenv/keepnothing.h"

#include "hostenv/failure.h"

namespace hostenv {

namespace {

class AppendNowhere final : public AppendFile {
  public:
    void append(std::string_view) override {}
    void flush() override {}
};

// The words both doors give a write that a read-only file refuses.
void refusereadonly(FileSystem& disk, const std::string& what, const std::string& path) {
    if (disk.describe(path, 0).readonly)
        throw Failure(what + " " + path + "\r\nThe file is read-only.");
}

}  // namespace

bool KeepNothing::createfile(const std::string& path, std::string_view) {
    return disk_.describe(path, 0).what == What::missing;
}

std::unique_ptr<AppendFile> KeepNothing::createappending(const std::string& path) {
    if (disk_.describe(path, 0).what != What::missing) return nullptr;
    return std::make_unique<AppendNowhere>();
}

bool KeepNothing::makefolder(const std::string& folder) {
    return disk_.describe(folder, 0).what != What::folder;
}

void KeepNothing::moveover(const std::string&, const std::string& to) {
    refusereadonly(disk_, "Cannot replace", to);
}

void KeepNothing::rename(const std::string&, const std::string&) {}

void KeepNothing::remove(const std::string& path) {
    refusereadonly(disk_, "Cannot delete", path);
}

}  // namespace hostenv
