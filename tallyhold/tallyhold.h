// tallyhold, the galaxy manifest manager: its window object, run state and procedures.
#pragma once

#include <array>
#include <functional>
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

namespace tallyhold {

inline constexpr const char* programname = "tallyhold";

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

    // Search, manifest writer and removal.
    void searchgalaxies();
    // Writes "galaxy.manifest" for the galaxies of the last search into the folder locate.
    void writemanifest(const std::string& locate);
    void removemanifests();

    // Controls, by role; the layout table gives each its design name ("Command1"...).
    hostenv::Button findbutton, updatebutton, exitbutton, locationbutton, removebutton;
    hostenv::Label foundcountlabel;
    hostenv::TextBox foundlist, removalbox;

    // Run state beyond the start-up's: the game's Fortrel folder, where the button writes
    // the manifest.
    std::string fortrelfolder;

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
    // A line for each of manifestlinks, naming the link and where it leads.
    std::string linksleft() const;
    // Runs change under this user's lock on changing manifests; false, with the player
    // told and nothing changed, when another tallyhold holds it.
    bool underlock(const std::function<void()>& change);
    // Throws, saying what had changed (sofar), when manifest is a link.
    void refuselink(const std::string& manifest, const std::string& sofar);
    // manifestpaths, made anew by a walk of both galaxy folders.
    void findmanifests();
    // Removes the manifests of manifestpaths and counts them in manifestsremoved. With
    // keepgoing, a manifest that cannot be removed does not stop the others: the failures'
    // texts come back; without, the first failure is thrown. between runs after each
    // manifest, where the removal may stop.
    hostenv::Lines removefound(bool keepgoing, const std::function<void()>& between);
    // galaxynames in the ANSI code page, as the game reads the manifest; a galaxy whose name,
    // or a folder between it and its galaxy folder, has no exact form there goes to leftout.
    hostenv::Lines manifestnames();
    std::string belowgalaxyfolder(const std::string& path) const;
    // Tells the player, in one message, which galaxies the manifest leaves out, and why.
    void tellleftout(const std::string& manifest);
    // The manifest's new text, complete on disk in a temporary file beside it.
    hostenv::StagedFile stagemanifest(const std::string& manifest);
    // Moves an existing manifest aside to ".old" and gives the staged text its name; a
    // manifest that is a link stays as it is, and nothing is written.
    // sofar: what had changed before, for the message of a failure.
    void putinplace(hostenv::StagedFile& staged, const std::string& manifest,
                    const std::string& sofar);
};

}  // namespace tallyhold
