#include "hostenv/backup/zipfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "hostenv/failure.h"
#include "testhost.h"

namespace hostenv::backup {
namespace {

using hostenv::testing::TempDrive;

struct Item {
    std::string name;
    std::string bytes;
    std::string privatedata;
};

const std::vector<Item> items = {
    {"game/maps/Orion Drift.galaxy", "version 3\r\nstar a\r\n", "first"},
    {"user/\xE6\x98\x9F\xE7\xB3\xBB.galaxy", "", "second"},  // a name beyond ASCII, no bytes
    {"user/deep/folder/c.galaxy", std::string(70000, 'x') + "\r\n", std::string(3000, 'p')},
};

class Zip : public ::testing::Test {
  protected:
    // Writes the items; finished when finish.
    void write(bool finish) {
        ZipWriter writer(drive.fs.createappending(path), path, ziptime("2026-12-07 19-32-13"));
        for (const auto& item : items) writer.add(item.name, item.bytes, item.privatedata);
        writer.flush();
        if (finish) writer.finish();
    }
    std::uintmax_t size() const { return std::filesystem::file_size(drive.host(path)); }
    void cutto(std::uintmax_t length) { std::filesystem::resize_file(drive.host(path), length); }
    // What a Python script prints given the set's path: another program's reading of it.
    void standardreader(const std::string& script, std::string& output) {
        drive.write("C:\\sets\\check.py", script);
        const std::string command = "python3 '" + drive.host("C:\\sets\\check.py").string() +
                                    "' '" + drive.host(path).string() + "'";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        ASSERT_EQ(pclose(pipe), 0) << output;
    }

    TempDrive drive;
    const std::string path = "C:\\sets\\a.zip";
};

void expectitems(hostenv::FileSystem& fs, const std::string& path, const ZipListing& listing,
                 std::size_t count) {
    ASSERT_GE(listing.entries.size(), count);
    EntryReader reader(fs, path);
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(items[i].name);
        const ZipEntry& entry = listing.entries[i];
        EXPECT_EQ(entry.name, items[i].name);
        EXPECT_EQ(entry.privatedata, items[i].privatedata);
        EXPECT_TRUE(entry.whole);
        EXPECT_EQ(reader.read(entry), std::optional<std::string_view>(items[i].bytes));
    }
}

TEST_F(Zip, AFinishedZipListsEveryEntryWithItsBytesAndPrivateField) {
    drive.makefolder("C:\\sets");
    write(true);
    const ZipListing listing = listzip(drive.fs, path);
    EXPECT_EQ(listing.end, ZipListing::End::complete);
    EXPECT_EQ(listing.entries.size(), items.size());
    expectitems(drive.fs, path, listing, items.size());
    // Names are flagged UTF-8 (bit 11), so that Explorer shows them right.
    const std::string bytes = drive.read(path);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]) & 0x08, 0x08);
    EXPECT_EQ(bytes.substr(bytes.size() - 22, 4), "PK\x05\x06");
}

// Another program reads the set as any zip: the player copies a galaxy back by hand.
TEST_F(Zip, AStandardReaderReadsEveryEntryByteForByte) {
    if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not here";
    drive.makefolder("C:\\sets");
    write(true);
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    print(i.filename.encode().hex(), len(z.read(i)), z.read(i).count(b'x'),"
        " i.flag_bits & 0x800, i.date_time)\n";
    std::string output;
    ASSERT_NO_FATAL_FAILURE(standardreader(script, output));
    std::string expected;
    for (const auto& item : items) {
        std::string hex;
        for (unsigned char c : item.name) {
            static constexpr char digits[] = "0123456789abcdef";
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        expected += hex + " " + std::to_string(item.bytes.size()) + " " +
                    std::to_string(std::count(item.bytes.begin(), item.bytes.end(), 'x')) +
                    " 2048 (2026, 12, 7, 19, 32, 12)\n";
    }
    EXPECT_EQ(output, expected);
    // Info-ZIP's reader, where it is installed, checks that the local and central names agree.
    if (std::system("unzip -v >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("unzip -tq '" + drive.host(path).string() + "' >/dev/null").c_str()),
                  0);
    }
}

// A set whose writer was killed has no central directory; what it flushed is all there.
TEST_F(Zip, AZipCutAnywhereGivesEveryEntryBeforeTheCutWholeAndNamesTheCutOne) {
    drive.makefolder("C:\\sets");
    write(false);
    const std::uintmax_t full = size();
    ASSERT_EQ(listzip(drive.fs, path).end, ZipListing::End::unfinished);
    expectitems(drive.fs, path, listzip(drive.fs, path), items.size());
    const std::uintmax_t thirdstart =
        full - 30 - items[2].name.size() - 4 - items[2].privatedata.size() - items[2].bytes.size();
    for (std::uintmax_t length = full - 1; length >= thirdstart && length > 0; --length) {
        SCOPED_TRACE(length);
        cutto(length);
        const ZipListing listing = listzip(drive.fs, path);
        expectitems(drive.fs, path, listing, 2);
        if (length == thirdstart) {
            EXPECT_EQ(listing.end, ZipListing::End::unfinished);
            EXPECT_EQ(listing.entries.size(), 2u);
            continue;
        }
        EXPECT_EQ(listing.end, ZipListing::End::cut);
        // Once its header is whole the cut entry is named, and not whole.
        if (listing.entries.size() == 3) {
            EXPECT_EQ(listing.entries[2].name, items[2].name);
            EXPECT_FALSE(listing.entries[2].whole);
        }
        // The data dominate: skip through them faster than a byte at a time.
        if (length > thirdstart + 4000) length -= 997;
    }
}

TEST_F(Zip, DamageIsToldApartFromACut) {
    struct Case {
        const char* what;
        std::size_t from_end;  // where the damage starts, counted from the end
        std::string bytes;
        ZipListing::End end;
        std::size_t entries;
    };
    const std::size_t third =
        30 + items[2].name.size() + 4 + items[2].privatedata.size() + items[2].bytes.size();
    const std::vector<Case> cases = {
        {"garbage where the third entry begins", third, "garbage!", ZipListing::End::damaged, 2},
        {"a compressed entry", third - 8, std::string("\x08\x00", 2), ZipListing::End::damaged, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        drive.makefolder("C:\\sets");
        write(false);
        std::string bytes = drive.read(path);
        bytes.replace(bytes.size() - c.from_end, c.bytes.size(), c.bytes);
        drive.write(path, bytes);
        const ZipListing listing = listzip(drive.fs, path);
        EXPECT_EQ(listing.end, c.end);
        EXPECT_EQ(listing.entries.size(), c.entries);
        expectitems(drive.fs, path, listing, c.entries);
        std::filesystem::remove(drive.host(path));
    }
}

TEST_F(Zip, BytesChangedInsideAnEntryFailItsCrc) {
    drive.makefolder("C:\\sets");
    write(true);
    std::string bytes = drive.read(path);
    bytes[bytes.find("star a")] = 'S';
    drive.write(path, bytes);
    const ZipListing listing = listzip(drive.fs, path);
    EntryReader reader(drive.fs, path);
    EXPECT_FALSE(reader.read(listing.entries[0]));
    EXPECT_TRUE(reader.read(listing.entries[2]));
}

// Past 65,535 entries the end record cannot count them: the zip64 records do.
TEST_F(Zip, MoreEntriesThanTheEndRecordCountsAreReadByAStandardReader) {
    if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not here";
    drive.makefolder("C:\\sets");
    {
        ZipWriter writer(drive.fs.createappending(path), path, {});
        for (int i = 0; i < 70000; ++i) writer.add("g" + std::to_string(i), "", "");
        writer.finish();
    }
    std::string output;
    ASSERT_NO_FATAL_FAILURE(
        standardreader("import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]);"
                       " print(len(z.infolist()), z.infolist()[-1].filename)",
                       output));
    EXPECT_EQ(output, "70000 g69999\n");
}

// A file whose long runs of zero bytes become holes, so that a set past 4 GB costs no disk.
class SparseFile : public hostenv::AppendFile {
  public:
    explicit SparseFile(const std::filesystem::path& path)
        : file_(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)) {}
    ~SparseFile() override { ::close(file_); }
    void append(std::string_view bytes) override {
        if (bytes.size() >= (1u << 20)) {
            ASSERT_GE(::lseek(file_, static_cast<off_t>(bytes.size()), SEEK_CUR), 0);
            return;
        }
        ASSERT_EQ(::write(file_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void flush() override {}

  private:
    int file_;
};

// Past 4 GB an entry's offset stands in the zip64 field of its central header.
TEST_F(Zip, AnEntryPastFourGigabytesIsFoundByAStandardReaderAndByTheWalk) {
    if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not here";
    constexpr std::size_t large = (std::size_t{1} << 31) + 12345;
    void* const zeros =
        ::mmap(nullptr, large, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    const std::string_view bytes(static_cast<const char*>(zeros), large);
    drive.makefolder("C:\\sets");
    {
        ZipWriter writer(std::make_unique<SparseFile>(drive.host(path)), path, {});
        writer.add("a", bytes, "1");
        writer.add("b", bytes, "2");
        writer.add("c", "late", "3");
        writer.finish();
    }
    ::munmap(zeros, large);
    const std::uint64_t third = 2 * (30 + 1 + 4 + 1 + std::uint64_t{large});
    const ZipListing listing = listzip(drive.fs, path);
    EXPECT_EQ(listing.end, ZipListing::End::complete);
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(EntryReader(drive.fs, path).read(listing.entries[2]),
              std::optional<std::string_view>("late"));
    std::string output;
    ASSERT_NO_FATAL_FAILURE(standardreader(
        "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]);"
        " i = z.infolist()[2]; print(i.filename, i.header_offset, z.read(i).decode())",
        output));
    EXPECT_EQ(output, "c " + std::to_string(third) + " late\n");
}

TEST(ZipTime, TheRunsStampBecomesTheEntrysDosTime) {
    const ZipTime time = ziptime("2026-12-07 19-32-13");
    EXPECT_EQ(time.date, (46 << 9) | (12 << 5) | 7);
    EXPECT_EQ(time.time, (19 << 11) | (32 << 5) | 6);
    for (const char* stamp : {"", "2026-13-07 19-32-13", "1979-12-07 19-32-13", "2026-12-07 x"}) {
        SCOPED_TRACE(stamp);
        EXPECT_EQ(ziptime(stamp).date, ZipTime{}.date);
    }
}

TEST_F(Zip, AWriterRefusesMoreOnceFinished) {
    drive.makefolder("C:\\sets");
    ZipWriter writer(drive.fs.createappending(path), path, {});
    writer.finish();
    EXPECT_THROW(writer.add("a", "b", "c"), hostenv::Failure);
    EXPECT_EQ(listzip(drive.fs, path).end, ZipListing::End::complete);
}

}  // namespace
}  // namespace hostenv::backup
