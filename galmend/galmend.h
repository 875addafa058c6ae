// galmend, the map updater: its window object, run state and procedures.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/controls.h"
#include "hostenv/controltable.h"
#include "hostenv/filesystem.h"
#include "hostenv/form.h"
#include "hostenv/gameform.h"
#include "hostenv/platform.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace hostenv::backup {
class BackupWriter;
struct RestoreOffer;
}  // namespace hostenv::backup

namespace galmend {

using hostenv::backup::BackupWriter;
using hostenv::backup::RestoreOffer;

inline constexpr const char* programname = "galmend";

const hostenv::FormLayout& galmendlayout();

class Rewriter;

// The message for a data file the program needs and did not find in the folder it was
// started from.
std::string missingfile(const std::string& file, const std::string& role);

// The names in "original zarn galaxies.txt": in the ANSI code page, or in UTF-8 or UTF-16
// after a byte-order mark; lines end in CR LF, LF or CR. Throws Failure for a list it cannot
// read as names (UTF-16 without its mark, or broken).
hostenv::Lines originalmapnames(std::string_view bytes, hostenv::Platform& platform);

class Galmend : public hostenv::ProgramForm<Galmend> {
  public:
    Galmend(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui);

    // hostenv::Form, and the one table of its controls.
    const hostenv::FormLayout& layout() const override { return galmendlayout(); }
    static std::span<const hostenv::ControlRow<Galmend>> controltable();

    // Start-up and the buttons.
    void Form_Load() override;
    // Closing the window ends the program as "exit" does.
    void closed() override;
    void findbutton_Click();
    void fixbutton_Click();
    void exitbutton_Click();
    void gamefolderbutton_Click();
    void userfolderbutton_Click();
    void undobutton_Click();

    // Discovery and conversion.
    void findgalaxies();
    void fixgalaxies();

    // Structure definitions.
    void loadold();
    void loadnew();
    void loadoriginalmaps();

    // Controls, by role; the layout table gives each its design name ("Command1"...).
    hostenv::Button findbutton, fixbutton, exitbutton, gamefolderbutton, userfolderbutton,
        undobutton;
    hostenv::Label cputypelabel, cpuidlabel, cpulevellabel, cpurevisionlabel, coreslabel, oslabel,
        winverlabel, bitslabel;
    hostenv::Label waitlabel, stagecaption, stagelabel, stagetotal, silentlabel;
    hostenv::Label updatedlabel, outofcaption, foundcountlabel, updatedcaption;
    hostenv::Label foundheading, fixedheading;
    hostenv::TextBox foundlist, fixedlist;

    // Run state beyond the start-up's.
    hostenv::MaybeLines oldstruct;
    hostenv::MaybeLines newstruct;
    std::optional<std::vector<std::int16_t>> oldblocks;
    std::optional<std::vector<std::int16_t>> newblocks;
    double newversion = 0;
    hostenv::MaybeLines originalmaps;

    // Set by "/restore": the run puts back the newest backup set, without the window.
    bool restoremode = false;

    std::string searchpattern;
    hostenv::Lines foundgalaxies;

    // Counters the labels show: the stages run (finds and fixes), the galaxies rewritten by
    // the last fix.
    long long stages = 0;
    long long rewritten = 0;
    // What the last fix says of the backup set it wrote; empty when it wrote none.
    std::string keptnote;

  private:
    void showhost();
    // "/restore": the command line holds nothing else; ends the program.
    void restorerun();
    // Enables "undo last fix" when a backup set can be restored.
    void offerundo();
    // The newest set a restore would take. Throws Failure.
    RestoreOffer newestoffer();
    // Restores the set of offer, going through the progress hook so that the window answers;
    // reports it; whether nothing was left.
    bool restore(const RestoreOffer& offer, bool silent);
    // Takes the lock that keeps two fixes or restores of this user apart; when another
    // galmend holds it, says so and gives nullptr.
    std::unique_ptr<hostenv::HeldLock> lockrun();
    // Ends the program; the set of a fix under way gets its end first, so that any zip reader
    // opens it.
    void endnow(int exitcode);
    // The set of the fix under way, if any.
    BackupWriter* fixset_ = nullptr;
    // What a fix keeps from one galaxy to the next: its size limit, the memory of the old and
    // the new text, the folders already rid of stale temporary files, and the batch of
    // galaxies whose new text is staged beside them and whose old bytes are in the backup
    // set, waiting for the set to be written through before they are put in place.
    struct FixState {
        // The largest galaxy this process can convert in memory, in bytes. A galaxy and its new
        // text are each held whole, in one block of memory, beside the program and what it has
        // loaded: an eighth of the address space leaves room for both and for the gaps between
        // what is in use. A 32-bit galmend gets 256 to 512 MB; a 64-bit one has no limit a
        // galaxy reaches.
        std::uint64_t largest = 0;
        std::string bytes;
        std::string text;
        std::set<std::string> cleanedfolders;
        std::deque<hostenv::StagedFile> staged;
        std::vector<std::string> stagedpaths;
        // Set when the set could not take a galaxy or be written through: nothing staged may
        // be put in place after that.
        bool backupbroken = false;
        // The galaxies whose names Windows forbids and that no name of theirs reaches, each
        // with its reason: named at the end, the others are rewritten all the same.
        std::vector<std::string> unreachable;
    };
    // Stages one found galaxy's new text when it is old and not one of the game's own, its
    // old bytes added to backup; whether it did.
    bool fixgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                   BackupWriter& backup);
    bool convertgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                       BackupWriter& backup);
    void keepold(const std::string& path, FixState& state, BackupWriter& backup);
    // The report of a fix, the note of the set it wrote, and the sets kept; a check's count
    // line, with the galaxies the fix would fail on.
    void endfix(const BackupWriter& backup, std::size_t failing);
    // A check names a galaxy the fix would fail on, and goes on to the next.
    void wouldfailon(const std::string& message);
    // A check's count of the galaxies a fix would fail on.
    std::size_t wouldfail = 0;
    // "/check": the silent fix through a file system that keeps nothing; ends the program.
    void checkrun();
    // Writes the set's end; when that fails, the fix reports what it rewrote all the same and
    // fails naming the set as incomplete but restorable.
    void finishset(BackupWriter& backup);
    // Writes the backup set through, then puts the staged galaxies in place; fixed gets
    // their names.
    void putinplace(FixState& state, BackupWriter& backup, std::string& fixed);
    void refuseoldformat(const std::string& path, std::string_view text) const;
};

}  // namespace galmend
