// galmend's window: positions and sizes in twips inside the client area.
#include <array>

#include "galmend.h"

namespace galmend {

namespace {

using hostenv::Align;
using hostenv::ControlLayout;
using hostenv::Font;
using hostenv::Kind;

constexpr Font narrow{"Arial Narrow", 8.25, false, false};
constexpr Font boldsmall{"MS Sans Serif", 8.25, true, false};
constexpr Font boldhuge{"MS Sans Serif", 18, true, false};
constexpr Font boldlarge{"MS Sans Serif", 13.5, true, false};
constexpr Font bolditaliclarge{"MS Sans Serif", 13.5, true, true};
constexpr Font boldheading{"MS Sans Serif", 9.75, true, false};
constexpr Font dialog = hostenv::dialogfont;

constexpr std::array controls{
    ControlLayout{"Label12", "cpuidlabel", Kind::label, "cpu ident", 120, 0, 660, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label11", "cputypelabel", Kind::label, "cpu", 120, 240, 270, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label17", "coreslabel", Kind::label, "cores", 840, 240, 390, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label13", "cpulevellabel", Kind::label, "cpulevel", 1560, 240, 600, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label14", "cpurevisionlabel", Kind::label, "cpurev", 2400, 240, 495, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label18", "oslabel", Kind::label, "os", 4080, 480, 165, 195, dialog, Align::left,
                  true},
    ControlLayout{"Label15", "winverlabel", Kind::label, "winver", 4080, 720, 465, 195, dialog,
                  Align::left, true},
    ControlLayout{"Label16", "bitslabel", Kind::label, "winbits", 4080, 960, 480, 195, dialog,
                  Align::left, true},
    ControlLayout{"Command4", "gamefolderbutton", Kind::button, "progfiles galaxies", 120, 480,
                  3855, 255, narrow},
    ControlLayout{"Command5", "userfolderbutton", Kind::button, "local apps galaxies", 120, 720,
                  3855, 255, narrow},
    ControlLayout{"Command1", "findbutton", Kind::button, "find galaxies", 120, 1200, 1335, 255,
                  boldsmall},
    ControlLayout{"Command2", "fixbutton", Kind::button, "fix found galaxies", 1440, 1200, 1815,
                  255, boldsmall},
    // In the free space at the top, so that no control of the first release moves.
    ControlLayout{"Command6", "undobutton", Kind::button, "undo last fix", 4800, 120, 1335, 255,
                  boldsmall},
    ControlLayout{"Command3", "exitbutton", Kind::button, "exit", 3240, 1080, 855, 375, boldhuge},
    ControlLayout{"Drive1", "drivelist", Kind::drivelist, "", 120, 1560, 3855, 315},
    ControlLayout{"Dir1", "folderlist", Kind::folderlist, "", 120, 1920, 3855, 1890},
    ControlLayout{"File1", "filelist", Kind::filelist, "", 120, 3840, 3855, 3405},
    ControlLayout{"Label2", "waitlabel", Kind::label, "Please wait processing", 6240, 120, 3855,
                  375, bolditaliclarge, Align::centre},
    ControlLayout{"Label1", "stagecaption", Kind::label, "stage ", 7200, 600, 855, 375, boldlarge},
    ControlLayout{"Label8", "stagelabel", Kind::label, "0", 8160, 600, 375, 375, boldlarge},
    ControlLayout{"Label3", "stagetotal", Kind::label, "of 2", 8520, 600, 735, 375, boldlarge},
    ControlLayout{"Label19", "silentlabel", Kind::label, "silent mode the buttons do not work",
                  4920, 600, 1695, 375, dialog, Align::centre, false, false},
    ControlLayout{"Label4", "updatedlabel", Kind::label, "0", 5040, 1080, 615, 375, boldlarge,
                  Align::right},
    ControlLayout{"Label5", "outofcaption", Kind::label, "galaxies out of", 5760, 1080, 2175, 375,
                  boldlarge},
    ControlLayout{"Label6", "foundcountlabel", Kind::label, "0", 7800, 1080, 975, 375, boldlarge,
                  Align::right},
    ControlLayout{"Label7", "updatedcaption", Kind::label, "updated", 8880, 1080, 1215, 375,
                  boldlarge},
    ControlLayout{"Label9", "foundheading", Kind::label, "found galaxy files", 4200, 1440, 2775,
                  255, boldheading, Align::centre},
    ControlLayout{"Label10", "fixedheading", Kind::label, "fixed galaxy files", 7200, 1440, 2895,
                  255, boldheading, Align::centre},
    ControlLayout{"Text1", "foundlist", Kind::multilinetext, "", 4200, 1680, 2895, 5535},
    ControlLayout{"Text2", "fixedlist", Kind::multilinetext, "", 7200, 1680, 2895, 5535},
};

constexpr std::array<const char*, 11> focusorder{"Drive1",   "File1",    "Dir1",     "Command1",
                                                 "Command2", "Command3", "Command4", "Command5",
                                                 "Text1",    "Text2",    "Command6"};

constexpr hostenv::FormLayout form{"orvel's zarn map updater", 10215, 7440, controls, focusorder};

}  // namespace

const hostenv::FormLayout& galmendlayout() {
    return form;
}

}  // namespace galmend
