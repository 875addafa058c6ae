#include "discardbackups.h"

namespace bench {

namespace {

class Nowhere : public hostenv::AppendFile {
  public:
    void append(std::string_view) override {}
    void flush() override {}
};

}  // namespace

std::unique_ptr<hostenv::AppendFile> DiscardBackups::createappending(const std::string&) {
    return std::make_unique<Nowhere>();
}

}  // namespace bench
