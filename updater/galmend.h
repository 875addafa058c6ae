// galmend, the map updater: its window object, run state and procedures.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/commandform.h"
#include "hostenv/controls.h"
#include "hostenv/filesystem.h"
#include "hostenv/form.h"
#include "hostenv/platform.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace updater {

inline constexpr const char* programname = "galmend";

const hostenv::FormLayout& galmendlayout();

class Galmend : public hostenv::CommandForm {
  public:
    Galmend(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui);

    // hostenv::Form
    const hostenv::FormLayout& layout() const override { return galmendlayout(); }
    hostenv::Control& control(std::string_view name) override;

    // Start-up and the buttons.
    void Form_Load() override;
    void Command1_Click() override;
    void Command2_Click() override;
    void Command3_Click() override;
    void Command4_Click() override;
    void Command5_Click() override;

    // Discovery and conversion.
    void findgalaxies();
    void fixgalaxies();

    // Structure definitions.
    void loadold();
    void loadnew();
    void loadoriginalmaps();

    // Controls, named as the window names them.
    hostenv::Button Command1, Command2, Command3, Command4, Command5;
    hostenv::Label Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10,
        Label11, Label12, Label13, Label14, Label15, Label16, Label17, Label18, Label19;
    hostenv::TextBox Text1, Text2;
    hostenv::DriveList Drive1;
    hostenv::FolderList Dir1;
    hostenv::FileList File1;

    // Run state.
    std::string windirdrive;
    std::string localappfolder;
    std::string gamefolder;
    std::array<std::string, 2> galaxyfolders;
    std::string gameversion;
    std::string targetversion;
    bool silentmode = false;

    hostenv::MaybeLines oldstruct;
    hostenv::MaybeLines newstruct;
    std::optional<std::vector<std::int16_t>> oldblocks;
    std::optional<std::vector<std::int16_t>> newblocks;
    double newversion = 0;
    hostenv::MaybeLines originalmaps;

    std::string searchpattern;
    hostenv::Lines foundgalaxies;

  private:
    std::string environment(const std::string& name);
    long long stagenumber() const;
    void readcommandline();
    void refuseoldformat(const std::string& path, std::string_view text) const;

    hostenv::FileSystem& fs_;
    hostenv::Platform& platform_;
};

}  // namespace updater
