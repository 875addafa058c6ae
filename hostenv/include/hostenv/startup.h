// What both programs' start-up and window do alike: the game's install folder, the
// version gate, the command line, and the guard that keeps a walk undisturbed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "hostenv/filesystem.h"
#include "hostenv/form.h"
#include "hostenv/platform.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace hostenv {

// The game's install folder as the registry key of this Windows names it, followed by
// "\"; "\" alone when nothing is stored. Only one key is read, never the other as well.
std::string readgamefolder(Platform& platform, FileSystem& fs, const std::string& windirdrive);

// A data file's lines (nullopt when it does not exist); one that exists but cannot be read
// throws Failure naming the file, its role ("old structure definition") and the reason.
MaybeLines readdatafile(FileSystem& fs, const std::string& file, const std::string& role);

// The first line of "targetzarnver.txt" in the working folder. A missing, unreadable or
// empty file throws Failure naming it.
std::string readtargetversion(FileSystem& fs);

// When the two versions differ (exactly, letter case and blanks included), or the target
// is empty, shows the message lines joined by CR LF and ends the program.
void versiongate(UserInterface& ui, const std::string& gameversion,
                 const std::string& targetversion, const Lines& message);

// The argument text cut at every single blank, with no quoting rules: two blanks give an
// empty piece, empty text gives none.
Lines splitatblanks(const std::string& text);

// Whether a piece of the argument text is the switch "/name" or "-name", letter case aside;
// name is in lower case.
bool isswitch(const std::string& piece, std::string_view name);

// Whether any piece of the argument text is a silent switch, wherever it stands.
bool hassilentswitch(const std::string& args);
// Whether any piece is the switch "/name" or "-name", wherever it stands.
bool hasswitch(const std::string& args, std::string_view name);

// Calls silent for every silent switch of the argument text ("-s", "/s", "/silent",
// "-silent", letter case aside); a piece known says the program knows is let be. The first
// other piece is refused with a message that ends the program.
void readswitches(const std::string& args, UserInterface& ui, const std::function<void()>& silent,
                  const std::function<bool(const std::string&)>& known = {});

// The layout line of the named control; a name the table lacks is a programming error.
const ControlLayout& design(const FormLayout& layout, std::string_view name);

}  // namespace hostenv
