// tallyhold's window: positions and sizes in twips inside the client area.
#include <array>

#include "tallyhold.h"

namespace tallyhold {

namespace {

using hostenv::Align;
using hostenv::ControlLayout;
using hostenv::Font;
using hostenv::Kind;

constexpr Font count{"Arial", 12, true, false};

constexpr std::array controls{
    ControlLayout{"Command4", "locationbutton", Kind::button, "show zarn location", 120, 0, 1815,
                  255},
    ControlLayout{"Command6", "undobutton", Kind::button, "undo last change", 2040, 0, 1815, 255},
    ControlLayout{"Label1", "foundcountlabel", Kind::label, "galaxies found", 7320, 0, 1680, 285,
                  count, Align::right, true},
    ControlLayout{"Command5", "removebutton", Kind::button, "find and remove all galaxy.manifests",
                  120, 360, 2895, 375},
    ControlLayout{"Command1", "findbutton", Kind::button, "find galaxies", 3120, 360, 1815, 375},
    ControlLayout{"Command2", "updatebutton", Kind::button, "update galaxy.manifest", 5160, 360,
                  1815, 375},
    ControlLayout{"Command3", "exitbutton", Kind::button, "exit", 7200, 360, 1815, 375},
    ControlLayout{"Drive1", "drivelist", Kind::drivelist, "", 240, 840, 2775, 315},
    ControlLayout{"Text2", "removalbox", Kind::textbox, "", 3240, 840, 5775, 375},
    ControlLayout{"Dir1", "folderlist", Kind::folderlist, "", 240, 1200, 2775, 2340},
    ControlLayout{"Text1", "foundlist", Kind::multilinetext, "", 3120, 1440, 5895, 5295},
    ControlLayout{"File1", "filelist", Kind::filelist, "", 240, 3600, 2775, 3015},
};

constexpr std::array<const char*, 11> focusorder{"Drive1",   "Dir1",     "File1",    "Text1",
                                                 "Command1", "Command2", "Command3", "Command4",
                                                 "Text2",    "Command5", "Command6"};

constexpr hostenv::FormLayout form{"orvel's Zarn fortrel Galaxy manifest manager", 9105, 6825,
                                   controls, focusorder};

}  // namespace

const hostenv::FormLayout& tallyholdlayout() {
    return form;
}

}  // namespace tallyhold
