// A window as data: its layout table in twips, and the events the view delivers.
#pragma once

#include <span>
#include <string_view>

namespace hostenv {

class Control;

enum class Kind { label, button, textbox, multilinetext, drivelist, folderlist, filelist };
enum class Align { left, centre, right };

struct Font {
    const char* face;
    double points;
    bool bold;
    bool italic;
};

// The system's default dialog font.
inline constexpr Font dialogfont{"MS Sans Serif", 8.25, false, false};

// One control: positions and sizes in twips inside the client area.
struct ControlLayout {
    const char* name;  // the design name, as the window and its helper name the control
    const char* role;  // what the control is, as the program names it
    Kind kind;
    const char* caption;
    int left, top, width, height;
    Font font = dialogfont;
    Align align = Align::left;
    bool autosize = false;  // a label that grows or shrinks to its caption
    bool visible = true;
};

struct FormLayout {
    const char* caption;
    int width, height;  // client area, twips
    std::span<const ControlLayout> controls;
    std::span<const char* const> focusorder;  // names, first to last
};

inline constexpr int twipsperinch = 1440;
// The Windows view gives control i of the layout table the id firstcontrolid + i, so
// that the end-to-end helper can name the controls of another process.
inline constexpr int firstcontrolid = 1000;

// What a program's window is to the view.
class Form {
  public:
    virtual ~Form() = default;
    virtual const FormLayout& layout() const = 0;
    virtual Control& control(std::string_view name) = 0;
    // Each event runs under the failure rule.
    virtual void load() = 0;
    virtual void clicked(std::string_view button) = 0;
    virtual void drivepicked(std::string_view drivetext) = 0;
    virtual void folderpicked(std::string_view path) = 0;
    virtual void closed() = 0;
};

}  // namespace hostenv
