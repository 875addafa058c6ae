#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "galmendhost.h"

namespace galmend {
namespace {

namespace fs = std::filesystem;

const fs::path source = ZARN_SOURCE_DIR;
constexpr const char* gamefolder = "C:\\Games\\Zarn";

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

// What comes before a line's first blank; the whole line when it has none.
std::string_view keyof(std::string_view line) {
    return line.substr(0, line.find(' '));
}

class Demo : public GalmendHost {
  protected:
    // galmend /s with the release data over the demo game and the demo user folder.
    std::optional<int> runrelease() {
        for (const auto& entry : fs::directory_iterator(source / "data")) {
            fs::copy_file(entry.path(), drive.host("C:\\tools") / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        fs::copy(source / "demo" / "game", drive.host(gamefolder), fs::copy_options::recursive);
        fs::copy(source / "demo" / "user", drive.host(userfolder), fs::copy_options::recursive);
        platform.args = "/s";
        return load();
    }
};

TEST_F(Demo, TheReleaseDataTurnsTheDemoGameIntoTheExpectedFiles) {
    EXPECT_EQ(runrelease(), 0);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.at(0);
    EXPECT_EQ(tree(drive.host(gamefolder)), tree(source / "demo" / "expected" / "game"));
    EXPECT_EQ(tree(drive.host(userfolder)), tree(source / "demo" / "expected" / "user"));
    EXPECT_EQ(form.fixedlist.text(),
              "Deep Reach.galaxy\r\nOrion Drift.galaxy\r\nMy First Map.galaxy\r\n");
}

// A placeholder carries only the last one or two characters of a value, so a longer value
// routed through one comes out cut. A key the new format still has must keep its whole
// value; only the version line is meant to change.
TEST_F(Demo, TheReleaseDataKeepsEveryValueWhole) {
    ASSERT_EQ(runrelease(), 0);
    int longvalues = 0;
    const std::pair<fs::path, fs::path> folders[] = {
        {source / "demo" / "game", drive.host(gamefolder)},
        {source / "demo" / "user", drive.host(userfolder)}};
    for (const auto& [demo, installed] : folders) {
        const auto after = tree(installed);
        for (const auto& [name, bytes] : tree(demo)) {
            if (after.at(name) == bytes) continue;
            const Lines oldlines = hostenv::splitlines(bytes);
            const Lines newlines = hostenv::splitlines(after.at(name));
            std::multimap<std::string_view, std::string_view> bykey;
            for (const std::string& line : newlines) bykey.emplace(keyof(line), line);
            for (std::size_t i = 0; i < oldlines.size(); ++i) {
                const std::string& line = oldlines[i];
                const std::string_view key = keyof(line);
                if (i == 1 || key.size() == line.size() || !bykey.contains(key)) continue;
                if (line.size() - key.size() - 1 > 2) ++longvalues;
                bool whole = false;
                std::string written;
                for (auto [it, last] = bykey.equal_range(key); it != last; ++it) {
                    whole = whole || it->second == line;
                    written += " \"" + std::string(it->second) + "\"";
                }
                EXPECT_TRUE(whole)
                    << name << ": \"" << line << "\" is not kept whole; written:" << written;
            }
        }
    }
    EXPECT_GT(longvalues, 0) << "no rewritten demo galaxy has a value longer than two characters";
}

}  // namespace
}  // namespace galmend
