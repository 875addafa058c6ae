// tallyhold, the galaxy manifest manager: its window object, run state and procedures.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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
struct SetOwner;
}  // namespace hostenv::backup

namespace tallyhold {

inline constexpr const char* programname = "tallyhold";

// Two runs at once would each remove the other's new manifest, or move it aside to ".old".
inline constexpr const char* lockedtext =
    "Another tallyhold is changing the manifests now; nothing was changed. Try again when it "
    "has ended.";

// tallyhold's backup sets, in "tallyhold backups": the manifests a change removed or rewrote,
// and the files it created, by their paths below the game's galaxy folder ("game/...") and
// the player's ("user/...").
const hostenv::backup::SetOwner& manifestsets();

const hostenv::FormLayout& tallyholdlayout();

// The whole text of "galaxy.manifest" for these galaxy names (bytes in the ANSI code page),
// every line ended by CR LF.
std::string manifesttext(const hostenv::Lines& galaxynames);

class Tallyhold : public hostenv::ProgramForm<Tallyhold> {
  public:
    Tallyhold(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui);

    // hostenv::Form, and the one table of its controls.
    const hostenv::FormLayout& layout() const override { return tallyholdlayout(); }
    static std::span<const hostenv::ControlRow<Tallyhold>> controltable();

    // Start-up and the buttons.
    void Form_Load() override;
    void findbutton_Click();
    void updatebutton_Click();
    void exitbutton_Click();
    void locationbutton_Click();
    void removebutton_Click();
    void undobutton_Click();
    void closed() override;

    // Search, manifest writer and removal.
    void searchgalaxies();
    // Writes "galaxy.manifest" for the galaxies of the last search into the folder locate.
    void writemanifest(const std::string& locate);
    void removemanifests();

    // Controls, by role; the layout table gives each its design name ("Command1"...).
    hostenv::Button findbutton, updatebutton, exitbutton, locationbutton, removebutton, undobutton;
    hostenv::Label foundcountlabel;
    hostenv::TextBox foundlist, removalbox;

    // Run state beyond the start-up's: the game's Fortrel folder, where the button writes
    // the manifest.
    std::string fortrelfolder;
    // Set by "/restore": the run puts back the newest backup set, without the window.
    bool restoremode = false;
    // Set by a check whose silent run would change a manifest.
    bool wouldchange = false;

    hostenv::Lines foundgalaxies;
    hostenv::Lines galaxynames;
    hostenv::Lines manifestpaths;
    // How many of manifestpaths the last removal deleted.
    std::size_t manifestsremoved = 0;
    // The manifests of manifestpaths that the last removal left because each is a link,
    // with where each leads: deleting one could delete a file outside the game's folders.
    std::vector<std::pair<std::string, std::string>> manifestlinks;
    // The galaxies found whose names the manifest cannot hold.
    hostenv::Lines leftout;
    // The galaxies found whose names, or folders below the galaxy folder, hold a double quote
    // or a control character: the manifest's quoted lines cannot hold them.
    hostenv::Lines unquotable;

  private:
    void silentrun();
    // "/restore": the command line holds nothing else; ends the program.
    void restorerun();
    // The newest set a restore would take. Throws Failure.
    hostenv::backup::RestoreOffer newestoffer();
    // Restores the set of offer with the window answering; whether nothing was left.
    bool restore(const hostenv::backup::RestoreOffer& offer, bool silent);
    // Enables "undo last change" when a backup set can be restored.
    void offerundo();
    // Ends the program, the end of a change's backup set written first.
    void endnow(int exitcode);
    // The set of a run about to change manifests. Throws Failure, with nothing changed, when
    // there is no local application-data folder to keep it in.
    hostenv::backup::BackupWriter newset();
    // Runs add, which adds to set what the run will change, and writes the set through to the
    // disk; throws Failure, with the set removed and nothing changed, when it cannot.
    void keep(hostenv::backup::BackupWriter& set, const std::function<void()>& add);
    // Records which of the set's files the run changed and writes its end; older sets beyond
    // the ten newest are pruned. The failure's text when the end could not be written.
    std::string closeset(hostenv::backup::BackupWriter& set, const std::vector<bool>& placed);
    // A line for each of manifestlinks, naming the link and where it leads.
    std::string linksleft() const;
    // Runs change under this user's lock on changing manifests; false, with the player
    // told and nothing changed, when another tallyhold holds it.
    bool underlock(const std::function<void()>& change);
    // Throws, saying what had changed (sofar), when manifest is a link.
    void refuselink(const std::string& manifest, const std::string& sofar);
    // manifestpaths, made anew by a walk of both galaxy folders.
    void findmanifests();
    // The manifests of manifestpaths a removal deletes, but for except: those that are links
    // are left, in manifestlinks. Throws Failure when one cannot be looked at.
    hostenv::Lines removable(const std::string& except);
    // Removes the manifests of removals and counts them in manifestsremoved, marking each one
    // removed in placed. With keepgoing, a manifest that cannot be removed does not stop the
    // others: the failures' texts come back; without, the first failure is thrown. between
    // runs after each manifest, where the removal may stop.
    hostenv::Lines removefound(const hostenv::Lines& removals, std::vector<bool>& placed,
                               bool keepgoing, const std::function<void()>& between);
    // galaxynames in the ANSI code page, as the game reads the manifest; a galaxy whose name,
    // or a folder between it and its galaxy folder, has no exact form there goes to leftout.
    hostenv::Lines manifestnames();
    std::string belowgalaxyfolder(const std::string& path) const;
    // Tells the player, in one message, which galaxies the manifest leaves out, and why.
    void tellleftout(const std::string& manifest);
    // The manifest's new text, set to text and complete on disk in a temporary file beside it.
    hostenv::StagedFile stagemanifest(const std::string& manifest, std::string& text);
    // Keeps an existing manifest's bytes as ".old" and puts the staged text in its place, both
    // kept in set first; a manifest that is a link stays as it is, and nothing is written.
    void putinplace(hostenv::StagedFile& staged, const std::string& manifest,
                    const std::string& text, hostenv::backup::BackupWriter& set);

    // The backup set of the change under way, whose end "exit" and closing the window write.
    hostenv::backup::BackupWriter* changeset_ = nullptr;
};

}  // namespace tallyhold
