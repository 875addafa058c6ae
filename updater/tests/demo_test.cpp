#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "galmendhost.h"

namespace updater {
namespace {

namespace fs = std::filesystem;

const fs::path source = ZARN_SOURCE_DIR;

std::map<std::string, std::string> tree(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(entry.path(), folder).generic_string()] = bytes.str();
    }
    return files;
}

class Demo : public GalmendHost {};

TEST_F(Demo, TheReleaseDataTurnsTheDemoGameIntoTheExpectedFiles) {
    for (const auto& entry : fs::directory_iterator(source / "data")) {
        fs::copy_file(entry.path(), drive.host("C:\\tools") / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
    }
    fs::copy(source / "demo" / "game", drive.host("C:\\Games\\Zarn"), fs::copy_options::recursive);
    fs::copy(source / "demo" / "user", drive.host(userfolder), fs::copy_options::recursive);
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.at(0);
    EXPECT_EQ(tree(drive.host("C:\\Games\\Zarn")), tree(source / "demo" / "expected" / "game"));
    EXPECT_EQ(tree(drive.host(userfolder)), tree(source / "demo" / "expected" / "user"));
    EXPECT_EQ(form.Text2.text(),
              "Deep Reach.galaxy\r\nOrion Drift.galaxy\r\nMy First Map.galaxy\r\n");
}

}  // namespace
}  // namespace updater
