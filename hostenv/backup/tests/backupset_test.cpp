#include "hostenv/backup/backupset.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "faultyfilesystem.h"
#include "hostenv/backup/setrecord.h"
#include "hostenv/backup/undo.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"
#include "testhost.h"

namespace hostenv::backup {
namespace {

namespace stdfs = std::filesystem;
using namespace std::string_literals;
using hostenv::Failure;
using hostenv::testing::FaultyFileSystem;
using hostenv::testing::ProgramEnded;
using hostenv::testing::TempDrive;

constexpr const char* gamefolder = "C:\\Games\\Zarn\\";
constexpr const char* userfolder = "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\";
constexpr const char* stamp = "2026-12-07 19-32-13";
constexpr const char* firstset = "2026-12-07 19-32-13 run 1.zip";
constexpr const char* restoredset = "2026-12-07 19-32-13 run 1 restored.zip";

// A program that keeps files of a game's folder and of a player's, and never restores a program.
const SetOwner keeper{"keeper",  "keeper backups",
                      "keeper/", "files",
                      "runs",    "the game's folder and the player's",
                      "file",    "run"};
const std::vector<KeptFolder> keptfolders = {{gamefolder, "game/"}, {userfolder, "user/"}};
const RestoreScope scope{keeper, keptfolders,
                         [](const std::string& path) -> std::optional<std::string> {
                             if (hostenv::lower(path).ends_with(".exe")) return "is a program";
                             return std::nullopt;
                         }};
const std::string folder = backupsfolder(keeper, "C:\\users\\player\\AppData\\Local");

// Three files, old bytes and the new ones a run writes.
struct File {
    std::string path;
    std::string old;
    std::string fresh;
};

const std::vector<File> files = {
    {std::string(gamefolder) + "maps\\Orion Drift.galaxy", "version 3\r\nstar a\r\n",
     "version 4\r\nformat zarn4\r\nstar a\r\nglow 1\r\n"},
    {std::string(userfolder) + "\xE6\x98\x9F\xE7\xB3\xBB.galaxy", "version 3\r\n",
     "version 4\r\nformat zarn4\r\n"},
    {std::string(userfolder) + "deep\\c.galaxy", std::string(200, 'o'), std::string(300, 'n')},
};

// A file a run changes, its bytes before and after; none where there is no file.
struct Edit {
    std::string path;
    std::optional<std::string> before;
    std::optional<std::string> after;
};

// One batch: the first file replaced, the second removed, a third created where there was none.
const std::vector<Edit> edits = {
    {files[0].path, files[0].old, files[0].fresh},
    {files[1].path, files[1].old, std::nullopt},
    {std::string(gamefolder) + "maps\\New.galaxy", std::nullopt, "version 4\r\nnew\r\n"},
};

// An entry of a set written by hand: its name, bytes and private field.
using Entry = std::array<std::string, 3>;

void tryto(const std::function<void()>& step) {
    try {
        step();
    } catch (const Failure&) {
        // What is left of the step is what the test looks at.
    }
}

// A restore, and whether nothing was left.
struct Restored {
    RestoreRun run;
    bool whole = false;
};

class Backups : public ::testing::Test {
  protected:
    Backups() {
        for (const auto& file : files) drive.write(file.path, file.old);
    }

    // A run as a program makes one: each new text staged and its old bytes kept, the set
    // written through, the first `replace` files put in place and the batch closed. However the
    // run ends the batch learns how many are in place and the set is finished.
    static std::string rewrite(hostenv::FileSystem& fs, std::size_t replace = 3,
                               const std::string& time = stamp) {
        BackupWriter set(fs, keeper, folder, time, keptfolders);
        bool committed = false;
        std::size_t replaced = 0;
        try {
            std::vector<std::unique_ptr<hostenv::StagedFile>> staged;
            for (const auto& file : files) {
                staged.push_back(std::make_unique<hostenv::StagedFile>(fs, file.path, file.fresh));
                set.add(file.path, file.old, file.fresh);
            }
            set.commit();
            committed = true;
            for (; replaced < replace; ++replaced) staged[replaced]->replace();
            set.closebatch(replaced);
        } catch (const Failure&) {
            tryto([&] {
                if (committed) set.closebatch(replaced);
            });
            tryto([&] { set.finish(); });
            throw;
        }
        set.finish();
        return set.setpath();
    }

    // A run that makes the edits of one batch that place picks, in order. However it ends, it
    // closes the batch with those in place and finishes the set, unless it is killed.
    static void edit(hostenv::FileSystem& fs, const std::vector<Edit>& batch,
                     const std::vector<bool>& place, bool killed = false) {
        BackupWriter set(fs, keeper, folder, stamp, keptfolders);
        std::vector<bool> placed(batch.size(), false);
        bool committed = false;
        tryto([&] {
            std::vector<std::unique_ptr<hostenv::StagedFile>> staged;
            for (const auto& [path, before, after] : batch) {
                staged.push_back(after ? std::make_unique<hostenv::StagedFile>(fs, path, *after)
                                       : nullptr);
                if (before && after) set.add(path, *before, *after);
                if (!after) set.addremoved(path, *before);
                if (!before) set.addcreated(path, *after);
            }
            set.commit();
            committed = true;
            for (std::size_t i = 0; i < batch.size(); ++i) {
                if (!place[i]) continue;
                if (!staged[i]) fs.remove(batch[i].path);
                if (staged[i] && batch[i].before) staged[i]->replace();
                if (staged[i] && !batch[i].before) staged[i]->create();
                placed[i] = true;
            }
        });
        if (killed) return;
        if (committed) tryto([&] { set.closebatch(placed); });
        tryto([&] { set.finish(); });
    }

    std::optional<std::string> now(const std::string& path) const {
        return drive.exists(path) ? std::optional(drive.read(path)) : std::nullopt;
    }

    // Restores the set on offer; between runs after every file.
    static Restored restore(hostenv::FileSystem& fs, const std::function<void()>& between = {}) {
        const RestoreOffer offer = restoreoffer(fs, folder, scope);
        if (!offer.set) throw Failure("no set on offer");
        Restored restored{restorefrom(fs, offer, {between, [] { return true; }})};
        EXPECT_EQ(offer.files, restored.run.restore.files.size()) << "the offer's count";
        restored.whole = restored.run.restore.complete() && restored.run.markfailure.empty();
        return restored;
    }

    std::string offered() {
        const RestoreOffer offer = restoreoffer(drive.fs, folder, scope);
        return offer.set ? offer.set->name : "";
    }

    void writeset(const std::string& path, const std::vector<Entry>& entries) {
        drive.makefolder(path.substr(0, hostenv::lastcomponentstart(path)));
        ZipWriter zip(drive.fs.createappending(path), path, {});
        for (const auto& [name, bytes, record] : entries) zip.add(name, bytes, record);
        zip.finish();
    }

    std::vector<std::string> sets() const {
        return drive.exists(folder) ? drive.names(folder) : std::vector<std::string>{};
    }

    std::string key(const std::string& windowspath) const {
        return drive.host(windowspath).lexically_relative(drive.root()).string();
    }

    // Every file on the drive but the sets, with its bytes: what a restore may have changed.
    std::map<std::string, std::string> ondisk() const {
        std::map<std::string, std::string> found;
        for (const auto& entry : stdfs::recursive_directory_iterator(drive.root())) {
            const std::string path = entry.path().lexically_relative(drive.root()).string();
            if (!entry.is_regular_file() || path.starts_with(key(folder))) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            found[path] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return found;
    }

    // The files old, no set, and no temporary file an earlier round's failing disk kept.
    void startagain() {
        for (const char* root : {"C:\\Games", "C:\\users"}) stdfs::remove_all(drive.host(root));
        for (const auto& file : files) drive.write(file.path, file.old);
    }

    // A restore stopped part way is finished by the next: every file old, the set marked.
    void expectfinishedbynext() {
        if (!offered().empty()) {
            EXPECT_TRUE(restore(drive.fs).whole);
        }
        for (const auto& file : files) EXPECT_EQ(drive.read(file.path), file.old);
        EXPECT_EQ(sets(), std::vector<std::string>{restoredset});
    }

    TempDrive drive;
};

TEST_F(Backups, EachFileIsKeptUnderItsFolderWithItsRecordAndEachBatchWithItsCount) {
    const std::string path = rewrite(drive.fs, 2);
    EXPECT_EQ(path, folder + "\\" + firstset);
    const ZipListing listing = listzip(drive.fs, path);
    EXPECT_EQ(listing.end, ZipListing::End::complete);
    const std::vector<std::string> names = {"game/maps/Orion Drift.galaxy",
                                            "user/\xE6\x98\x9F\xE7\xB3\xBB.galaxy",
                                            "user/deep/c.galaxy", "keeper/batch 1.txt"};
    ASSERT_EQ(listing.entries.size(), names.size());
    EntryReader reader(drive.fs, path);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(listing.entries[i].name, names[i]);
        const auto record = recordof(listing.entries[i]);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->run, 1u);
        const auto read = reader.read(listing.entries[i]);
        ASSERT_TRUE(read);
        const std::string_view bytes = *read;
        if (i == files.size()) {
            EXPECT_EQ(record->kind, SetRecord::Kind::batch);
            EXPECT_EQ(record->replaced, 2u);
            // Never the file not put in place.
            EXPECT_EQ(bytes, "keeper put these files of the entries before this one in place:\r\n" +
                                 files[0].path + "\r\n" + files[1].path + "\r\n");
            continue;
        }
        EXPECT_EQ(bytes, files[i].old);
        EXPECT_EQ(record->path, files[i].path);
        EXPECT_EQ(record->newcrc, crc32of(files[i].fresh));
        EXPECT_EQ(record->newsize, files[i].fresh.size());
    }
}

// A set naming a file no restore may write is refused whole before anything is written, and
// set aside so that the next restore takes the set before it.
TEST_F(Backups, ATamperedSetIsRefusedWholeAndSetAside) {
    rewrite(drive.fs);
    const std::string target = "target\r\n";
    for (const char* path : {"C:\\windows\\win.ini", "C:\\windows\\x.galaxy", "C:\\tools\\a.galaxy",
                             "C:\\tools\\Zarn\\x.galaxy", "C:\\Games\\ZarnMods\\x.galaxy",
                             "C:\\tools\\targetzarnver.txt", "C:\\Games\\Zarn\\Halcyrion.exe",
                             "C:\\Games\\Zarn\\maps\\Twin.galaxy", "C:\\Games\\Zarn\\x.galaxy",
                             "C:\\Games\\x.galaxy", "C:\\outside\\x.galaxy"}) {
        drive.write(path, target);
    }
    // Inside the game's folder as written, outside it as Windows finally reaches it.
    stdfs::create_directory_symlink(drive.host("C:\\outside"),
                                    drive.host("C:\\Games\\Zarn\\linked"));
    // In the owner's words.
    const std::string outside = "lies outside the game's folder and the player's";
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {"C:\\windows\\win.ini", outside},
        {"C:\\windows\\x.galaxy", outside},
        {"a.galaxy", "is not a full path"},
        {"Zarn\\x.galaxy", "is not a full path"},
        {"C:\\Games\\Zarn\\..\\..\\windows\\x.galaxy", outside},
        {"C:\\Games\\ZarnMods\\x.galaxy", outside},
        {"C:\\tools\\targetzarnver.txt", outside},
        // The program's own check, given the path as Windows resolves it.
        {"C:\\Games\\Zarn\\Halcyrion.exe", "is a program"},
        {"C:\\Games\\Zarn\\maps\\..\\HALCYRION.EXE", "is a program"},
        {"D:\\Games\\Zarn\\x.galaxy", outside},
        {"C:\\Games\\Zarn.\\x.galaxy", "ending in a dot or a blank"},
        {"C:\\Games\\Zarn\\x.galaxy ", "ending in a dot or a blank"},
        {"C:\\Games\\Zarn\\maps/../../x.galaxy", "holds a \"/\""},
        {"C:\\Games\\Zarn\\linked\\x.galaxy", outside},
        // Windows reads the path only up to the NUL: the game itself.
        {"C:\\Games\\Zarn\\Halcyrion.exe\0x.galaxy"s, "holds a NUL"},
    };
    const std::string name = "2026-12-08 10-00-00 run 2.zip";
    for (const auto& c : cases) {
        SCOPED_TRACE(hostenv::shownpath(c.path));
        stdfs::remove(drive.host(folder + "\\2026-12-08 10-00-00 run 2 refused.zip"));
        // The first file holds what its record says the run wrote: only the record after it
        // keeps it from being put back.
        writeset(folder + "\\" + name,
                 {{"game/maps/Orion Drift.galaxy", "tampered\r\n",
                   filerecord(2, crc32of(files[0].fresh), files[0].fresh.size(), files[0].path)},
                  {"other/x", "evil\r\n", filerecord(2, crc32of(target), target.size(), c.path)},
                  {"keeper/batch 1.txt", "", batchrecord(2, 2)}});
        const auto before = ondisk();
        const Restored restored = restore(drive.fs);
        EXPECT_EQ(restored.run.restore.problem, SetRestore::Problem::refused);
        EXPECT_EQ(restored.run.restore.refusedpath, c.path);
        EXPECT_NE(restored.run.restore.refusedwhy.find(c.why), std::string::npos)
            << restored.run.restore.refusedwhy;
        EXPECT_FALSE(restored.whole);
        EXPECT_TRUE(restored.run.restore.files.empty());
        EXPECT_EQ(ondisk(), before);
        EXPECT_EQ(sets(),
                  (std::vector<std::string>{firstset, "2026-12-08 10-00-00 run 2 refused.zip"}));
        EXPECT_EQ(offered(), firstset);
    }
}

// Sets go by the order of the runs, whatever the clock did; only sets of ours count.
TEST_F(Backups, SetsGoByRunNumberAndPruningKeepsTheTenNewest) {
    const auto oldrecord = [](const File& file) {
        // From before runs were numbered: version 1, the new bytes' CRC-32 and size, the path.
        std::string record(1, '\1');
        const std::uint64_t crc = crc32of(file.fresh);
        for (int i = 0; i < 4; ++i) record += static_cast<char>(crc >> (8 * i));
        for (int i = 0; i < 8; ++i) record += static_cast<char>(file.fresh.size() >> (8 * i));
        return record + file.path;
    };
    for (const char* name : {"2026-12-05 10-00-00 restored.zip", "2026-12-07 19-32-13 (2).zip",
                             "2026-12-07 19-32-13.zip"}) {
        writeset(folder + "\\" + name,
                 {{"game/maps/Orion Drift.galaxy", "older\r\n", oldrecord(files[0])}});
    }
    // A player's own zip, and a link to a set elsewhere: both named like sets.
    writeset(folder + "\\2020-01-01 00-00-00.zip", {{"notes.txt", "mine\r\n", ""}});
    writeset("C:\\elsewhere\\set.zip",
             {{"game/maps/Orion Drift.galaxy", files[0].old,
               filerecord(1, crc32of(files[0].fresh), files[0].fresh.size(), files[0].path)},
              {"keeper/batch 1.txt", "", batchrecord(1, 1)}});
    const std::string link = "2026-12-01 00-00-00 run 1.zip";
    stdfs::create_symlink(drive.host("C:\\elsewhere\\set.zip"), drive.host(folder + "\\" + link));
    const std::string elsewhere = drive.read("C:\\elsewhere\\set.zip");
    EXPECT_EQ(offered(), "2026-12-07 19-32-13 (2).zip");

    // From a clock ahead, behind and at the same second; some restored or refused. The link's
    // name holds run 1: no run takes its number again.
    using S = BackupSet::State;
    const std::pair<const char*, S> rounds[] = {
        {"2026-12-08 09-00-00", S::open},     {"2025-12-08 09-00-00", S::restored},
        {"2025-12-08 09-00-00", S::refused},  {"2031-01-01 00-00-00", S::open},
        {"2026-12-08 09-05-00", S::open},     {"2026-12-08 09-05-00", S::open},
        {"2026-12-08 09-06-00", S::restored}, {"2026-12-08 09-07-00", S::open},
        {"2000-01-01 00-00-00", S::open},
    };
    std::string newestopen;
    for (std::size_t i = 0; i < std::size(rounds); ++i) {
        const auto& [time, mark] = rounds[i];
        const std::string made = std::string(time) + " run " + std::to_string(i + 2) + ".zip";
        SCOPED_TRACE(made);
        const std::string path = rewrite(drive.fs, 1, time);
        EXPECT_EQ(path, folder + "\\" + made);
        const SetListing listing = backupsets(drive.fs, keeper, folder);
        ASSERT_FALSE(listing.sets.empty());
        EXPECT_EQ(listing.sets.back().name, made);
        prunebackupsets(drive.fs, keeper, folder, path);
        if (mark == S::open) {
            newestopen = made;
        } else {
            markset(drive.fs, listing.sets.back(), mark);
        }
        EXPECT_EQ(offered(), newestopen);
    }
    const auto order = [&] {
        std::vector<std::string> names;
        for (const auto& set : backupsets(drive.fs, keeper, folder).sets) names.push_back(set.name);
        return names;
    };
    const std::vector<std::string> kept = {"2026-12-07 19-32-13 (2).zip",
                                           "2026-12-08 09-00-00 run 2.zip",
                                           "2025-12-08 09-00-00 run 3 restored.zip",
                                           "2025-12-08 09-00-00 run 4 refused.zip",
                                           "2031-01-01 00-00-00 run 5.zip",
                                           "2026-12-08 09-05-00 run 6.zip",
                                           "2026-12-08 09-05-00 run 7.zip",
                                           "2026-12-08 09-06-00 run 8 restored.zip",
                                           "2026-12-08 09-07-00 run 9.zip",
                                           "2000-01-01 00-00-00 run 10.zip"};
    EXPECT_EQ(order(), kept);
    // Never a set of the run's own or newer, nor anything when its own is not among them.
    prunebackupsets(drive.fs, keeper, folder, folder + "\\no such set.zip", 0);
    EXPECT_EQ(order(), kept);
    prunebackupsets(drive.fs, keeper, folder, folder + "\\" + kept[7], 0);
    EXPECT_EQ(order(), std::vector<std::string>(kept.begin() + 7, kept.end()));
    EXPECT_EQ(sets(),
              (std::vector<std::string>{"2000-01-01 00-00-00 run 10.zip", "2020-01-01 00-00-00.zip",
                                        link, "2026-12-08 09-06-00 run 8 restored.zip",
                                        "2026-12-08 09-07-00 run 9.zip"}));
    EXPECT_EQ(drive.read("C:\\elsewhere\\set.zip"), elsewhere);
}

// A set cut, left unfinished or damaged, whatever its last file holds now: each file the
// run replaced comes back when it can, the others are named, and the count says so.
TEST_F(Backups, ACutOrDamagedSetPutsBackWhatItCanAndCountsWhatItAccountsFor) {
    const std::string path = rewrite(drive.fs);
    const std::string whole = drive.read(path);
    const ZipListing listing = listzip(drive.fs, path);
    ASSERT_EQ(listing.entries.size(), 4u);
    const ZipEntry& last = listing.entries[2];
    std::string damaged = whole;
    damaged[last.dataoffset + 100] = 'X';
    // Per file: Restored, Already old, Changed, Gone, a Link, Damaged, or '-' when the set
    // does not count it; the second file holds its old bytes, the third what the state says.
    const struct {
        const char* what;
        std::string bytes;
        int lastaccounted;                    // -1: whole
        std::array<const char*, 5> outcomes;  // by state: new, old, edited, gone, a link
    } variants[] = {
        {"complete", whole, -1, {"RAR", "RAA", "RAC", "RAG", "RAL"}},
        {"no end", whole.substr(0, listing.endoffset), 2, {"RAR", "RAA", "RAC", "RAG", "RAL"}},
        // Killed while it put the batch in place: a file holding its old bytes was not.
        {"batch never closed",
         whole.substr(0, last.dataoffset + last.size),
         2,
         {"R-R", "R--", "R-C", "R-G", "R-L"}},
        {"cut inside the last file",
         whole.substr(0, last.dataoffset + 10),
         1,
         {"R-D", "R--", "R--", "R--", "R-D"}},
        {"damaged bytes", damaged, -1, {"RAD", "RAD", "RAD", "RAD", "RAD"}},
    };
    const char* states[] = {"new", "old", "edited", "gone", "a link"};
    const std::string linked = "C:\\outside\\c.galaxy";
    const std::string contents[] = {files[2].fresh, files[2].old, "edited\r\n"};
    for (const auto& variant : variants) {
        for (std::size_t state = 0; state < 5; ++state) {
            SCOPED_TRACE(std::string(variant.what) + ", the last file " + states[state]);
            stdfs::remove_all(drive.host(folder));
            drive.write(path, variant.bytes);
            drive.write(files[0].path, files[0].fresh);
            drive.write(files[1].path, files[1].old);
            const File& third = files[2];
            stdfs::remove(drive.host(third.path));
            if (state < 3) drive.write(third.path, contents[state]);
            if (state == 4) {
                drive.write(linked, third.fresh);
                stdfs::create_symlink(drive.host(linked), drive.host(third.path));
            }
            auto expected = ondisk();
            const Restored restored = restore(drive.fs);
            const SetRestore& result = restored.run.restore;
            std::string outcomes = "---";
            for (const auto& file : result.files) {
                for (std::size_t i = 0; i < files.size(); ++i) {
                    if (file.path != files[i].path) continue;
                    outcomes[i] = "RACGLDF"[static_cast<int>(file.outcome)];
                    if (file.outcome == FileOutcome::restored) {
                        expected[key(file.path)] = files[i].old;
                    }
                }
            }
            EXPECT_EQ(outcomes, variant.outcomes[state]);
            EXPECT_EQ(ondisk(), expected);
            const bool incomplete = variant.lastaccounted >= 0;
            EXPECT_EQ(result.incomplete, incomplete);
            EXPECT_EQ(result.complete(),
                      !incomplete && outcomes.find_first_not_of("RA-") == std::string::npos);
            // Changed, gone, link and damaged files count alike; those the set does not
            // account for, not at all.
            EXPECT_EQ(result.files.size(),
                      static_cast<std::size_t>(std::count_if(outcomes.begin(), outcomes.end(),
                                                             [](char c) { return c != '-'; })));
            if (incomplete) {
                EXPECT_EQ(result.lastaccounted, files[variant.lastaccounted].path);
            }
        }
    }
}

// The program may end between two files ("exit"): each file is then its old or its new
// self, whole, the set is not marked, and the next restore finishes it.
TEST_F(Backups, ARestoreEndedBetweenAnyTwoFilesIsFinishedByTheNext) {
    for (std::size_t k = 1; k <= files.size(); ++k) {
        SCOPED_TRACE(k);
        startagain();
        rewrite(drive.fs);
        std::size_t done = 0;
        EXPECT_THROW(restore(drive.fs,
                             [&] {
                                 if (++done == k) throw ProgramEnded{0};
                             }),
                     ProgramEnded);
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(drive.read(files[i].path), i < k ? files[i].old : files[i].fresh);
        }
        EXPECT_TRUE(drive.temporaries().empty());
        EXPECT_EQ(sets(), std::vector<std::string>{firstset});
        expectfinishedbynext();
    }
}

// A run that replaced nothing leaves no set to offer; one that replaced part of a batch is
// offered and counted for that part.
TEST_F(Backups, ASetCountsOnlyTheFilesItsRunReplaced) {
    rewrite(drive.fs, 3, "2026-12-06 10-00-00");
    for (const auto& file : files) drive.write(file.path, file.old);
    const std::string before = "2026-12-06 10-00-00 run 1.zip";
    EXPECT_EQ(rewrite(drive.fs, 0), "");
    BackupWriter killed(drive.fs, keeper, folder, stamp, keptfolders);
    killed.add(files[0].path, files[0].old, files[0].fresh);
    killed.commit();
    killed.finish();
    EXPECT_EQ(killed.setpath(), "");
    EXPECT_EQ(sets(), std::vector<std::string>{before});
    EXPECT_EQ(offered(), before);

    rewrite(drive.fs, 2);
    const Restored restored = restore(drive.fs);
    EXPECT_TRUE(restored.whole);
    EXPECT_EQ(restored.run.restore.files.size(), 2u);
    EXPECT_EQ(restored.run.restore.count(FileOutcome::restored), 2u);
    for (const auto& file : files) EXPECT_EQ(drive.read(file.path), file.old);
    EXPECT_EQ(sets(), (std::vector<std::string>{before, "2026-12-07 19-32-13 run 2 restored.zip"}));
    EXPECT_EQ(offered(), before);
}

// Whatever file operation of a run fails, once or from then on, every file is its old or
// its new self, the offer counts the ones replaced, and a restore puts each of them back.
TEST_F(Backups, ARunFailingAtAnyStepLeavesEveryReplacedFileRestorable) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE(::testing::Message()
                         << "failat " << failat << " persistent " << persistent);
            startagain();
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            std::string failed;
            try {
                rewrite(faulty);
            } catch (const Failure& failure) {
                failed = failure.what();
            }
            EXPECT_TRUE(failed.empty() || failed.starts_with("Injected fault: ")) << failed;
            std::size_t replaced = 0;
            for (const auto& file : files) {
                const std::string now = drive.read(file.path);
                EXPECT_TRUE(now == file.old || now == file.fresh);
                replaced += now == file.fresh ? 1 : 0;
            }
            if (failed.empty()) {
                EXPECT_EQ(replaced, files.size()) << "a run that ends well replaced them all";
            }
            const RestoreOffer offer = restoreoffer(drive.fs, folder, scope);
            EXPECT_EQ(offer.set.has_value(), replaced > 0);
            EXPECT_EQ(offer.files, replaced);
            if (offer.set) {
                const RestoreRun run = restorefrom(drive.fs, offer, {});
                EXPECT_EQ(run.restore.count(FileOutcome::restored), replaced);
            }
            for (const auto& file : files) EXPECT_EQ(drive.read(file.path), file.old);
            if (faulty.failures() == 0) break;
        }
    }
}

// A restore that fails at any step leaves each file old or new, and the set for the next
// restore to finish.
TEST_F(Backups, ARestoreFailingAtAnyStepIsFinishedByTheNext) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE(::testing::Message()
                         << "failat " << failat << " persistent " << persistent);
            startagain();
            rewrite(drive.fs);
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            // What the caller learns: the sets that cannot be read, why the restore failed, or
            // what it restored.
            std::string told;
            bool whole = false;
            try {
                const RestoreOffer offer = restoreoffer(faulty, folder, scope);
                told = ::testing::PrintToString(offer.unreadable);
                if (offer.set) {
                    const RestoreRun run = restorefrom(faulty, offer, {});
                    whole = run.restore.complete() && run.markfailure.empty();
                    for (const auto& file : run.restore.files) told += file.reason;
                    told += run.markfailure;
                }
            } catch (const Failure& failure) {
                told += failure.what();
            }
            if (faulty.failures() == 0) {
                EXPECT_TRUE(whole) << told;
            }
            if (!whole) {
                EXPECT_NE(told.find("Injected fault: "), std::string::npos) << told;
            }
            for (const auto& file : files) {
                const std::string now = drive.read(file.path);
                EXPECT_TRUE(now == file.old || now == file.fresh);
                if (whole) {
                    EXPECT_EQ(now, file.old) << "reported restored";
                }
            }
            EXPECT_TRUE(drive.temporaries().empty() || faulty.failures() > 1);
            expectfinishedbynext();
            if (faulty.failures() == 0) break;
        }
    }
}

// Another program keeps its sets beside these, under its own folder, prefixes and words:
// neither lists, offers or restores the other's, each numbers its own runs, and a batch entry
// of its prefix counts as ours do.
TEST_F(Backups, AnotherProgramsSetsAreItsOwn) {
    const SetOwner sweeper{"sweeper", "sweeper backups", "sweeper/", "maps",
                           "sweeps",  "the map folder",  "map",      "sweep"};
    const std::string theirs = backupsfolder(sweeper, "C:\\users\\player\\AppData\\Local");
    // Its one folder lies inside our second, and lets every file through.
    const std::vector<KeptFolder> mapfolder = {{std::string(userfolder) + "deep", "maps/"}};
    rewrite(drive.fs);
    const File& third = files[2];
    BackupWriter sweep(drive.fs, sweeper, theirs, stamp, mapfolder);
    hostenv::StagedFile staged(drive.fs, third.path, "swept\r\n");
    sweep.add(third.path, third.fresh, "swept\r\n");
    sweep.commit();
    staged.replace();
    sweep.closebatch(1);
    sweep.finish();

    const struct {
        const SetOwner& owner;
        std::string folder;
        RestoreScope scope;
        std::vector<std::string> names;
        std::size_t offered;
    } programs[] = {
        // The newer set first, so that each restore finds what its run wrote.
        {sweeper, theirs, {sweeper, mapfolder, {}}, {"maps/c.galaxy", "sweeper/batch 1.txt"}, 1},
        {keeper,
         folder,
         scope,
         {"game/maps/Orion Drift.galaxy", "user/\xE6\x98\x9F\xE7\xB3\xBB.galaxy",
          "user/deep/c.galaxy", "keeper/batch 1.txt"},
         3},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.owner.program);
        const SetListing listing = backupsets(drive.fs, program.owner, program.folder);
        ASSERT_EQ(listing.sets.size(), 1u);
        EXPECT_EQ(listing.sets[0].name, firstset);
        std::vector<std::string> names;
        for (const auto& entry : listzip(drive.fs, listing.sets[0].path).entries) {
            names.push_back(entry.name);
        }
        EXPECT_EQ(names, program.names);
        const RestoreOffer offer = restoreoffer(drive.fs, program.folder, program.scope);
        ASSERT_TRUE(offer.set);
        EXPECT_EQ(offer.set->path, listing.sets[0].path);
        EXPECT_EQ(offer.files, program.offered);
        const RestoreRun run = restorefrom(drive.fs, offer, {});
        EXPECT_EQ(run.restore.count(FileOutcome::restored), program.offered);
        EXPECT_EQ(drive.names(program.folder), std::vector<std::string>{restoredset});
    }
    for (const auto& file : files) EXPECT_EQ(drive.read(file.path), file.old);
}

// Each file of a batch as the restore finds it, each state of one file met with each of every
// other: as the run left it, as before the run, edited, gone, a link to a file elsewhere holding
// what a restore would act on, or a link to nothing. Only a file holding what the run left there is
// put back; nothing is written through a link.
TEST_F(Backups, ARestoreUndoesEachReplacedRemovedOrCreatedFileOnlyWhereTheRunLeftIt) {
    const char* states[] = {"as left", "as before", "edited",
                            "gone",    "a link",    "a link to nothing"};
    // By file, then state: Restored, Already old, Changed, Gone, a Link.
    const char* outcomes[] = {"RACGLL", "RACRLL", "RACALL"};
    const Change changes[] = {Change::replaced, Change::removed, Change::created};
    for (std::size_t round = 0; round < 36; ++round) {
        const std::size_t state[] = {round % 6, round / 6, (round + round / 6) % 6};
        SCOPED_TRACE(std::string(states[state[0]]) + ", " + states[state[1]] + ", " +
                     states[state[2]]);
        startagain();
        stdfs::remove_all(drive.host("C:\\outside"));
        edit(drive.fs, edits, {true, true, true});
        for (std::size_t i = 0; i < edits.size(); ++i) {
            const auto& [path, before, after] = edits[i];
            stdfs::remove(drive.host(path));
            const std::optional<std::string> bytes[] = {after, before, "edited\r\n", {}, {}, {}};
            if (bytes[state[i]]) drive.write(path, *bytes[state[i]]);
            if (state[i] >= 4) {
                const std::string elsewhere = "C:\\outside\\" + std::to_string(i);
                if (state[i] == 4) drive.write(elsewhere, after ? *after : "");
                stdfs::create_symlink(drive.host(elsewhere), drive.host(path));
            }
        }
        auto expected = ondisk();
        const RestoreOffer offer = restoreoffer(drive.fs, folder, scope);
        ASSERT_TRUE(offer.set);
        EXPECT_EQ(offer.files, 3u);
        EXPECT_EQ(offer.created, 1u);
        const SetRestore result = restorefrom(drive.fs, offer, {}).restore;
        ASSERT_EQ(result.files.size(), edits.size());
        std::string got;
        std::string want;
        for (std::size_t i = 0; i < edits.size(); ++i) {
            const FileRestore& file = result.files[i];
            EXPECT_EQ(file.path, edits[i].path);
            EXPECT_EQ(file.change, changes[i]);
            got += "RACGLDF"[static_cast<int>(file.outcome)];
            want += outcomes[i][state[i]];
            EXPECT_EQ(state[i] >= 4, stdfs::is_symlink(drive.host(file.path)));
            if (file.outcome != FileOutcome::restored) continue;
            expected.erase(key(file.path));
            if (edits[i].before) expected[key(file.path)] = *edits[i].before;
        }
        EXPECT_EQ(got, want);
        EXPECT_EQ(ondisk(), expected);
        EXPECT_EQ(result.count(FileOutcome::restored, true), want[2] == 'R' ? 1u : 0u);
        EXPECT_EQ(result.count(FileOutcome::restored, false),
                  static_cast<std::size_t>(std::count(want.begin(), want.end() - 1, 'R')));
        EXPECT_EQ(result.complete(), want.find_first_not_of("RA") == std::string::npos);
        EXPECT_EQ(sets(), std::vector<std::string>{restoredset});
    }
}

// A file the run removed from a folder the player has removed since is a change since the run:
// left, named, and the folder not made again.
TEST_F(Backups, ARemovedFileWhoseFolderIsGoneIsLeftAndNamed) {
    const std::string deep = std::string(userfolder) + "deep";
    drive.write(files[2].path, files[2].old);
    edit(drive.fs, {{files[2].path, files[2].old, std::nullopt}}, {true});
    stdfs::remove_all(drive.host(deep));
    const RestoreRun run = restorefrom(drive.fs, restoreoffer(drive.fs, folder, scope), {});
    ASSERT_EQ(run.restore.files.size(), 1u);
    EXPECT_EQ(run.restore.files[0].outcome, FileOutcome::changed);
    EXPECT_FALSE(stdfs::exists(drive.host(deep)));
    EXPECT_EQ(sets(), std::vector<std::string>{restoredset});
}

// Only the files a run put in place are undone: a batch closed with a file between two placed
// ones left, or one the killed run never closed, which the files' bytes tell.
TEST_F(Backups, ARestoreUndoesOnlyTheFilesTheRunPutInPlace) {
    const struct {
        const char* what;
        std::vector<bool> place;
        bool killed;
    } runs[] = {
        {"the middle one left", {true, false, true}, false},
        {"killed after the first two", {true, true, false}, true},
        {"killed after the last only", {false, false, true}, true},
        {"killed after all", {true, true, true}, true},
        {"killed before any", {false, false, false}, true},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        startagain();
        edit(drive.fs, edits, run.place, run.killed);
        for (std::size_t i = 0; i < edits.size(); ++i) {
            EXPECT_EQ(now(edits[i].path), run.place[i] ? edits[i].after : edits[i].before);
        }
        const auto placed =
            static_cast<std::size_t>(std::count(run.place.begin(), run.place.end(), true));
        const RestoreOffer offer = restoreoffer(drive.fs, folder, scope);
        EXPECT_EQ(offer.files, placed);
        EXPECT_EQ(offer.created, run.place[2] ? 1u : 0u);
        if (!offer.set) continue;
        const Restored restored = restore(drive.fs);
        EXPECT_EQ(restored.run.restore.count(FileOutcome::restored), placed);
        EXPECT_EQ(restored.whole, !run.killed) << "a killed run's set has no end";
        for (const auto& edit : edits) EXPECT_EQ(now(edit.path), edit.before);
    }
}

// Whatever file operation of a run that removes two files and creates one fails, or of a
// restore of its set, once or from then on: each file is as before or as the run left it, and
// the next restore brings back each one as before.
TEST_F(Backups, ARunOrRestoreRemovingAndCreatingFilesFailingAtAnyStepIsUndone) {
    const std::vector<Edit> batch = {{files[1].path, files[1].old, std::nullopt},
                                     {files[2].path, files[2].old, std::nullopt},
                                     edits[2]};
    for (const bool restoring : {false, true}) {
        for (const bool persistent : {false, true}) {
            for (int failat = 1;; ++failat) {
                SCOPED_TRACE(::testing::Message() << "failat " << failat << " persistent "
                                                  << persistent << " restoring " << restoring);
                startagain();
                FaultyFileSystem faulty(drive.fs, failat, persistent);
                if (restoring) {
                    edit(drive.fs, batch, {true, true, true});
                    tryto([&] {
                        const RestoreOffer offer = restoreoffer(faulty, folder, scope);
                        if (offer.set) restorefrom(faulty, offer, {});
                    });
                } else {
                    edit(faulty, batch, {true, true, true});
                }
                std::size_t changed = 0;
                for (const auto& [path, before, after] : batch) {
                    const auto found = now(path);
                    EXPECT_TRUE(found == before || found == after) << path;
                    changed += found == after ? 1 : 0;
                }
                if (!offered().empty()) {
                    const Restored restored = restore(drive.fs);
                    EXPECT_EQ(restored.run.restore.count(FileOutcome::restored), changed);
                    EXPECT_TRUE(restored.whole || !restoring);
                } else {
                    EXPECT_EQ(changed, 0u);
                }
                for (const auto& [path, before, after] : batch) EXPECT_EQ(now(path), before);
                if (restoring) {
                    EXPECT_EQ(sets(), std::vector<std::string>{restoredset});
                }
                EXPECT_TRUE(drive.temporaries().empty() || faulty.failures() > 1);
                if (faulty.failures() == 0) break;
            }
        }
    }
}

// The report names each created file taken away, and counts only the others.
TEST_F(Backups, TheReportNamesCreatedFilesRemovedAndCountsOnlyTheOthers) {
    const BackupSet set{folder + "\\" + firstset, firstset, 1, BackupSet::State::open};
    const std::string& a = files[0].path;
    const std::string& b = edits[2].path;
    const std::string c = std::string(gamefolder) + "maps\\Other.galaxy";
    const auto created = [](const std::string& path, FileOutcome outcome) {
        return FileRestore{path, outcome, "", Change::created};
    };
    // One file created, then two.
    for (const bool two : {false, true}) {
        SetRestore restore;
        restore.files = {{a, FileOutcome::restored, "", Change::replaced},
                         created(b, FileOutcome::restored)};
        if (two) restore.files.push_back(created(c, FileOutcome::changed));
        hostenv::testing::RecordingUi ui;
        ui.beginreport();
        reportrestore(keeper, {set, "", restore.files.size(), {}, nullptr}, {restore, ""}, ui,
                      false);
        EXPECT_EQ(ui.reports, (std::vector<std::string>{"Restored " + a, "Removed " + b}));
        EXPECT_EQ(ui.messages, std::vector<std::string>{
                                   "Restored 1 of the 1 file in " + std::string(firstset) + "." +
                                   (two ? "\r\nNot restored, changed since the run: " + c : "")});
    }
}

}  // namespace
}  // namespace hostenv::backup
