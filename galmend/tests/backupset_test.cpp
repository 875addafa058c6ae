#include "backupset.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"
#include "restorereport.h"
#include "setrecord.h"
#include "testhost.h"

namespace galmend {
namespace {

namespace stdfs = std::filesystem;
using namespace std::string_literals;
using hostenv::Failure;
using hostenv::testing::FaultyFileSystem;
using hostenv::testing::ProgramEnded;
using hostenv::testing::RecordingUi;
using hostenv::testing::TempDrive;

constexpr const char* gamefolder = "C:\\Games\\Zarn\\";
constexpr const char* userfolder = "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\";
constexpr const char* stamp = "2026-12-07 19-32-13";
constexpr const char* firstset = "2026-12-07 19-32-13 run 1.zip";
constexpr const char* restoredset = "2026-12-07 19-32-13 run 1 restored.zip";

const std::string folder = backupsfolder("C:\\users\\player\\AppData\\Local");
const hostenv::Lines originalmaps = {"Twin.galaxy"};
const RestoreScope scope{{gamefolder, userfolder}, originalmaps};

// Three galaxies, old bytes and the new ones a fix writes.
struct Galaxy {
    std::string path;
    std::string old;
    std::string fresh;
};

const std::vector<Galaxy> galaxies = {
    {std::string(gamefolder) + "maps\\Orion Drift.galaxy", "version 3\r\nstar a\r\n",
     "version 4\r\nformat zarn4\r\nstar a\r\nglow 1\r\n"},
    {std::string(userfolder) + "\xE6\x98\x9F\xE7\xB3\xBB.galaxy", "version 3\r\n",
     "version 4\r\nformat zarn4\r\n"},
    {std::string(userfolder) + "deep\\c.galaxy", std::string(200, 'o'), std::string(300, 'n')},
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

// A restore as galmend makes one, and whether the player was told that nothing was left.
struct Restored {
    RestoreRun run;
    bool whole = false;
};

class Backups : public ::testing::Test {
  protected:
    Backups() {
        for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
    }

    // A fix as galmend makes one: each new text staged and its old bytes kept, the set written
    // through, the first `replace` galaxies put in place and the batch closed. However the fix
    // ends the batch learns how many are in place and the set is finished, as galmend does.
    static std::string fix(hostenv::FileSystem& fs, std::size_t replace = 3,
                           const std::string& time = stamp) {
        BackupWriter set(fs, folder, time, {gamefolder, userfolder});
        bool committed = false;
        std::size_t replaced = 0;
        try {
            std::vector<std::unique_ptr<hostenv::StagedFile>> staged;
            for (const auto& galaxy : galaxies) {
                staged.push_back(
                    std::make_unique<hostenv::StagedFile>(fs, galaxy.path, galaxy.fresh));
                set.add(galaxy.path, galaxy.old, galaxy.fresh);
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

    // Restores the set on offer, as galmend does, telling ui; between runs after every
    // galaxy.
    static Restored restore(hostenv::FileSystem& fs, RecordingUi& ui,
                            const std::function<void()>& between = {}) {
        const RestoreOffer offer = restoreoffer(fs, folder, scope);
        if (!offer.set) throw Failure("no set on offer");
        Restored restored{restorefrom(fs, offer, {between, [] { return true; }})};
        EXPECT_EQ(offer.galaxies, restored.run.restore.galaxies.size()) << "the offer's count";
        restored.whole = reportrestore(offer, restored.run, ui, false);
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
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> found;
        for (const auto& entry : stdfs::recursive_directory_iterator(drive.root())) {
            const std::string path = entry.path().lexically_relative(drive.root()).string();
            if (!entry.is_regular_file() || path.starts_with(key(folder))) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            found[path] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return found;
    }

    // The galaxies old, no set, and no temporary file an earlier round's failing disk kept.
    void startagain() {
        for (const char* root : {"C:\\Games", "C:\\users"}) stdfs::remove_all(drive.host(root));
        for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
    }

    // A restore stopped part way is finished by the next: every galaxy old, the set marked.
    void expectfinishedbynext() {
        RecordingUi ui;
        if (!offered().empty()) {
            EXPECT_TRUE(restore(drive.fs, ui).whole) << ::testing::PrintToString(ui.messages);
        }
        for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
        EXPECT_EQ(sets(), std::vector<std::string>{restoredset});
    }

    TempDrive drive;
};

TEST_F(Backups, EachGalaxyIsKeptUnderItsFolderWithItsRecordAndEachBatchWithItsCount) {
    const std::string path = fix(drive.fs, 2);
    EXPECT_EQ(path, folder + "\\" + firstset);
    const ZipListing listing = listzip(drive.fs, path);
    EXPECT_EQ(listing.end, ZipListing::End::complete);
    const std::vector<std::string> names = {"game/maps/Orion Drift.galaxy",
                                            "user/\xE6\x98\x9F\xE7\xB3\xBB.galaxy",
                                            "user/deep/c.galaxy", "galmend/batch 1.txt"};
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
        if (i == galaxies.size()) {
            EXPECT_EQ(record->kind, SetRecord::Kind::batch);
            EXPECT_EQ(record->replaced, 2u);
            EXPECT_EQ(bytes.find(galaxies[2].path), std::string::npos) << "never put in place";
            continue;
        }
        EXPECT_EQ(bytes, galaxies[i].old);
        EXPECT_EQ(record->path, galaxies[i].path);
        EXPECT_EQ(record->newcrc, crc32of(galaxies[i].fresh));
        EXPECT_EQ(record->newsize, galaxies[i].fresh.size());
    }
}

// A set naming a file no restore may write is refused whole before anything is written, and
// set aside so that the next restore takes the set before it.
TEST_F(Backups, ATamperedSetIsRefusedWholeAndSetAside) {
    fix(drive.fs);
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
    const struct {
        std::string path;
        const char* why;
    } cases[] = {
        {"C:\\windows\\win.ini", "is not a galaxy"},
        {"C:\\windows\\x.galaxy", "lies outside"},
        {"a.galaxy", "is not a full path"},
        {"Zarn\\x.galaxy", "is not a full path"},
        {"C:\\Games\\Zarn\\..\\..\\windows\\x.galaxy", "lies outside"},
        {"C:\\Games\\ZarnMods\\x.galaxy", "lies outside"},
        {"C:\\tools\\targetzarnver.txt", "is not a galaxy"},
        {"C:\\Games\\Zarn\\Halcyrion.exe", "is not a galaxy"},
        {"C:\\Games\\Zarn\\maps\\TWIN.galaxy", "one of the game's own maps"},
        {"D:\\Games\\Zarn\\x.galaxy", "lies outside"},
        {"C:\\Games\\Zarn.\\x.galaxy", "ending in a dot or a blank"},
        {"C:\\Games\\Zarn\\x.galaxy ", "ending in a dot or a blank"},
        {"C:\\Games\\Zarn\\maps/../../x.galaxy", "holds a \"/\""},
        {"C:\\Games\\Zarn\\linked\\x.galaxy", "lies outside"},
        // Windows reads the path only up to the NUL: the game itself.
        {"C:\\Games\\Zarn\\Halcyrion.exe\0x.galaxy"s, "holds a NUL"},
    };
    const std::string name = "2026-12-08 10-00-00 run 2.zip";
    for (const auto& c : cases) {
        SCOPED_TRACE(hostenv::shownpath(c.path));
        stdfs::remove(drive.host(folder + "\\2026-12-08 10-00-00 run 2 refused.zip"));
        // The first galaxy holds what its record says the fix wrote: only the record after it
        // keeps it from being put back.
        writeset(folder + "\\" + name,
                 {{"game/maps/Orion Drift.galaxy", "tampered\r\n",
                   galaxyrecord(2, crc32of(galaxies[0].fresh), galaxies[0].fresh.size(),
                                galaxies[0].path)},
                  {"other/x", "evil\r\n", galaxyrecord(2, crc32of(target), target.size(), c.path)},
                  {"galmend/batch 1.txt", "", batchrecord(2, 2)}});
        const auto before = files();
        RecordingUi ui;
        const Restored restored = restore(drive.fs, ui);
        EXPECT_EQ(restored.run.restore.refusedpath, c.path);
        EXPECT_NE(restored.run.restore.refusedwhy.find(c.why), std::string::npos)
            << restored.run.restore.refusedwhy;
        EXPECT_FALSE(restored.whole);
        EXPECT_EQ(files(), before);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].rfind("The backup set " + folder + "\\" + name +
                                           " is refused: it names " + hostenv::shownpath(c.path),
                                       0),
                  0u)
            << ui.messages[0];
        EXPECT_EQ(sets(),
                  (std::vector<std::string>{firstset, "2026-12-08 10-00-00 run 2 refused.zip"}));
        EXPECT_EQ(offered(), firstset);
    }
}

// Sets go by the order of the runs, whatever the clock did; only sets of ours count.
TEST_F(Backups, SetsGoByRunNumberAndPruningKeepsTheTenNewest) {
    const auto oldrecord = [](const Galaxy& galaxy) {
        // From before runs were numbered: version 1, the new bytes' CRC-32 and size, the path.
        std::string record(1, '\1');
        const std::uint64_t crc = crc32of(galaxy.fresh);
        for (int i = 0; i < 4; ++i) record += static_cast<char>(crc >> (8 * i));
        for (int i = 0; i < 8; ++i) record += static_cast<char>(galaxy.fresh.size() >> (8 * i));
        return record + galaxy.path;
    };
    for (const char* name : {"2026-12-05 10-00-00 restored.zip", "2026-12-07 19-32-13 (2).zip",
                             "2026-12-07 19-32-13.zip"}) {
        writeset(folder + "\\" + name,
                 {{"game/maps/Orion Drift.galaxy", "older\r\n", oldrecord(galaxies[0])}});
    }
    // A player's own zip, and a link to a set elsewhere: both named like sets.
    writeset(folder + "\\2020-01-01 00-00-00.zip", {{"notes.txt", "mine\r\n", ""}});
    writeset(
        "C:\\elsewhere\\set.zip",
        {{"game/maps/Orion Drift.galaxy", galaxies[0].old,
          galaxyrecord(1, crc32of(galaxies[0].fresh), galaxies[0].fresh.size(), galaxies[0].path)},
         {"galmend/batch 1.txt", "", batchrecord(1, 1)}});
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
        const std::string path = fix(drive.fs, 1, time);
        EXPECT_EQ(path, folder + "\\" + made);
        const SetListing listing = backupsets(drive.fs, folder);
        ASSERT_FALSE(listing.sets.empty());
        EXPECT_EQ(listing.sets.back().name, made);
        prunebackupsets(drive.fs, folder, path);
        if (mark == S::open) {
            newestopen = made;
        } else {
            markset(drive.fs, listing.sets.back(), mark);
        }
        EXPECT_EQ(offered(), newestopen);
    }
    const auto order = [&] {
        std::vector<std::string> names;
        for (const auto& set : backupsets(drive.fs, folder).sets) names.push_back(set.name);
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
    prunebackupsets(drive.fs, folder, folder + "\\no such set.zip", 0);
    EXPECT_EQ(order(), kept);
    prunebackupsets(drive.fs, folder, folder + "\\" + kept[7], 0);
    EXPECT_EQ(order(), std::vector<std::string>(kept.begin() + 7, kept.end()));
    EXPECT_EQ(sets(),
              (std::vector<std::string>{"2000-01-01 00-00-00 run 10.zip", "2020-01-01 00-00-00.zip",
                                        link, "2026-12-08 09-06-00 run 8 restored.zip",
                                        "2026-12-08 09-07-00 run 9.zip"}));
    EXPECT_EQ(drive.read("C:\\elsewhere\\set.zip"), elsewhere);
}

// A set cut, left unfinished or damaged, whatever its last galaxy holds now: each galaxy the
// fix replaced comes back when it can, the others are named, and the count says so.
TEST_F(Backups, ACutOrDamagedSetPutsBackWhatItCanAndCountsWhatItAccountsFor) {
    const std::string path = fix(drive.fs);
    const std::string whole = drive.read(path);
    const ZipListing listing = listzip(drive.fs, path);
    ASSERT_EQ(listing.entries.size(), 4u);
    const ZipEntry& last = listing.entries[2];
    std::string damaged = whole;
    damaged[last.dataoffset + 100] = 'X';
    // Per galaxy: Restored, Already old, Changed, Gone, a Link, Damaged, or '-' when the set
    // does not count it; the second galaxy holds its old bytes, the third what the state says.
    const struct {
        const char* what;
        std::string bytes;
        int lastaccounted;                    // -1: whole
        std::array<const char*, 5> outcomes;  // by state: new, old, edited, gone, a link
    } variants[] = {
        {"complete", whole, -1, {"RAR", "RAA", "RAC", "RAG", "RAL"}},
        {"no end", whole.substr(0, listing.endoffset), 2, {"RAR", "RAA", "RAC", "RAG", "RAL"}},
        // Killed while it put the batch in place: a galaxy holding its old bytes was not.
        {"batch never closed",
         whole.substr(0, last.dataoffset + last.size),
         2,
         {"R-R", "R--", "R-C", "R-G", "R-L"}},
        {"cut inside the last galaxy",
         whole.substr(0, last.dataoffset + 10),
         1,
         {"R-D", "R--", "R--", "R--", "R-D"}},
        {"damaged bytes", damaged, -1, {"RAD", "RAD", "RAD", "RAD", "RAD"}},
    };
    // Changed, gone, link and damaged galaxies count alike.
    const std::map<std::string, std::string> countlines = {
        {"RAR", "Restored 2 of the 3 galaxies in %; 1 was already as before the fix."},
        {"RAA", "Restored 1 of the 3 galaxies in %; 2 were already as before the fix."},
        {"RA?", "Restored 1 of the 3 galaxies in %; 1 was already as before the fix."},
        {"R-R", "Restored 2 of the 2 galaxies in %."},
        {"R--", "Restored 1 of the 1 galaxy in %."},
        {"R-?", "Restored 1 of the 2 galaxies in %."},
    };
    const char* states[] = {"new", "old", "edited", "gone", "a link"};
    const std::string linked = "C:\\outside\\c.galaxy";
    const std::string contents[] = {galaxies[2].fresh, galaxies[2].old, "edited\r\n"};
    for (const auto& variant : variants) {
        for (std::size_t state = 0; state < 5; ++state) {
            SCOPED_TRACE(std::string(variant.what) + ", the last galaxy " + states[state]);
            stdfs::remove_all(drive.host(folder));
            drive.write(path, variant.bytes);
            drive.write(galaxies[0].path, galaxies[0].fresh);
            drive.write(galaxies[1].path, galaxies[1].old);
            const Galaxy& third = galaxies[2];
            stdfs::remove(drive.host(third.path));
            if (state < 3) drive.write(third.path, contents[state]);
            if (state == 4) {
                drive.write(linked, third.fresh);
                stdfs::create_symlink(drive.host(linked), drive.host(third.path));
            }
            auto expected = files();
            RecordingUi ui;
            const Restored restored = restore(drive.fs, ui);
            const SetRestore& result = restored.run.restore;
            std::string outcomes = "---";
            for (const auto& galaxy : result.galaxies) {
                for (std::size_t i = 0; i < galaxies.size(); ++i) {
                    if (galaxy.path != galaxies[i].path) continue;
                    outcomes[i] = "RACGLDF"[static_cast<int>(galaxy.outcome)];
                    if (galaxy.outcome == GalaxyOutcome::restored) {
                        expected[key(galaxy.path)] = galaxies[i].old;
                    }
                }
            }
            EXPECT_EQ(outcomes, variant.outcomes[state]);
            EXPECT_EQ(files(), expected);
            const bool incomplete = variant.lastaccounted >= 0;
            EXPECT_EQ(result.incomplete, incomplete);
            EXPECT_EQ(result.complete(),
                      !incomplete && outcomes.find_first_not_of("RA-") == std::string::npos);
            ASSERT_EQ(ui.messages.size(), 1u);
            const std::string& said = ui.messages[0];
            std::string shape = outcomes;
            if (shape[2] != '-' && shape[2] != 'R' && shape[2] != 'A') shape[2] = '?';
            std::string countline = countlines.at(shape);
            countline.replace(countline.find('%'), 1, firstset);
            EXPECT_EQ(said.substr(0, said.find("\r\n")), countline);
            if (incomplete) {
                EXPECT_NE(said.find(path + " is incomplete: the last galaxy it accounts for is " +
                                    galaxies[variant.lastaccounted].path + "."),
                          std::string::npos)
                    << said;
            }
            if (outcomes[2] != 'R' && outcomes[2] != 'A' && outcomes[2] != '-') {
                EXPECT_NE(said.find(third.path), std::string::npos) << said;
            }
        }
    }
}

// The program may end between two galaxies ("exit"): each galaxy is then its old or its new
// self, whole, the set is not marked, and the next restore finishes it.
TEST_F(Backups, ARestoreEndedBetweenAnyTwoGalaxiesIsFinishedByTheNext) {
    for (std::size_t k = 1; k <= galaxies.size(); ++k) {
        SCOPED_TRACE(k);
        startagain();
        fix(drive.fs);
        std::size_t done = 0;
        RecordingUi ui;
        EXPECT_THROW(restore(drive.fs, ui,
                             [&] {
                                 if (++done == k) throw ProgramEnded{0};
                             }),
                     ProgramEnded);
        for (std::size_t i = 0; i < galaxies.size(); ++i) {
            EXPECT_EQ(drive.read(galaxies[i].path), i < k ? galaxies[i].old : galaxies[i].fresh);
        }
        EXPECT_TRUE(drive.temporaries().empty());
        EXPECT_EQ(sets(), std::vector<std::string>{firstset});
        expectfinishedbynext();
    }
}

// A fix that replaced nothing leaves no set to offer; one that replaced part of a batch is
// offered and counted for that part.
TEST_F(Backups, ASetCountsOnlyTheGalaxiesItsFixReplaced) {
    fix(drive.fs, 3, "2026-12-06 10-00-00");
    for (const auto& galaxy : galaxies) drive.write(galaxy.path, galaxy.old);
    const std::string before = "2026-12-06 10-00-00 run 1.zip";
    EXPECT_EQ(fix(drive.fs, 0), "");
    BackupWriter killed(drive.fs, folder, stamp, {gamefolder, userfolder});
    killed.add(galaxies[0].path, galaxies[0].old, galaxies[0].fresh);
    killed.commit();
    killed.finish();
    EXPECT_EQ(killed.setpath(), "");
    EXPECT_EQ(sets(), std::vector<std::string>{before});
    EXPECT_EQ(offered(), before);

    fix(drive.fs, 2);
    RecordingUi ui;
    const Restored restored = restore(drive.fs, ui);
    EXPECT_TRUE(restored.whole);
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "Restored 2 of the 2 galaxies in 2026-12-07 19-32-13 run 2.zip."});
    for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
    EXPECT_EQ(offered(), before);
}

// Whatever file operation of a fix fails, once or from then on, every galaxy is its old or
// its new self, the offer counts the ones replaced, and a restore puts each of them back.
TEST_F(Backups, AFixFailingAtAnyStepLeavesEveryReplacedGalaxyRestorable) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE(testing::Message() << "failat " << failat << " persistent " << persistent);
            startagain();
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            std::string failed;
            try {
                fix(faulty);
            } catch (const Failure& failure) {
                failed = failure.what();
            }
            EXPECT_TRUE(failed.empty() || failed.starts_with("Injected fault: ")) << failed;
            std::size_t replaced = 0;
            for (const auto& galaxy : galaxies) {
                const std::string now = drive.read(galaxy.path);
                EXPECT_TRUE(now == galaxy.old || now == galaxy.fresh);
                replaced += now == galaxy.fresh ? 1 : 0;
            }
            if (failed.empty()) {
                EXPECT_EQ(replaced, galaxies.size()) << "a fix that ends well replaced them all";
            }
            const RestoreOffer offer = restoreoffer(drive.fs, folder, scope);
            EXPECT_EQ(offer.set.has_value(), replaced > 0);
            EXPECT_EQ(offer.galaxies, replaced);
            if (offer.set) {
                const RestoreRun run = restorefrom(drive.fs, offer, {});
                EXPECT_EQ(run.restore.count(GalaxyOutcome::restored), replaced);
            }
            for (const auto& galaxy : galaxies) EXPECT_EQ(drive.read(galaxy.path), galaxy.old);
            if (faulty.failures() == 0) break;
        }
    }
}

// A restore that fails at any step leaves each galaxy old or new, and the set for the next
// restore to finish.
TEST_F(Backups, ARestoreFailingAtAnyStepIsFinishedByTheNext) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE(testing::Message() << "failat " << failat << " persistent " << persistent);
            startagain();
            fix(drive.fs);
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            RecordingUi ui;
            // What the player is told: the sets that cannot be read, or why the restore failed,
            // or what it restored.
            std::string told;
            bool whole = false;
            try {
                const RestoreOffer offer = restoreoffer(faulty, folder, scope);
                told = ::testing::PrintToString(offer.unreadable);
                if (offer.set)
                    whole = reportrestore(offer, restorefrom(faulty, offer, {}), ui, false);
            } catch (const Failure& failure) {
                told += failure.what();
            }
            told += ::testing::PrintToString(ui.messages);
            if (faulty.failures() == 0) {
                EXPECT_TRUE(whole) << told;
            }
            if (!whole) {
                EXPECT_NE(told.find("Injected fault: "), std::string::npos) << told;
            }
            for (const auto& galaxy : galaxies) {
                const std::string now = drive.read(galaxy.path);
                EXPECT_TRUE(now == galaxy.old || now == galaxy.fresh);
                if (whole) {
                    EXPECT_EQ(now, galaxy.old) << "reported restored";
                }
            }
            EXPECT_TRUE(drive.temporaries().empty() || faulty.failures() > 1);
            expectfinishedbynext();
            if (faulty.failures() == 0) break;
        }
    }
}

}  // namespace
}  // namespace galmend
