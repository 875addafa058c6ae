// Windows paths as both programs hold them: UTF-8 text with "\" between names. A full path
// starts at a drive's root "C:\" (a bare "C:" stands for it, as a drive list names drives) or
// at a share "\\server\share"; its long form puts "\\?\" ("\\?\UNC\" for a share) before it,
// and the system then takes each name as it is written. Every joining, trimming and comparing
// of paths goes through here, so that a drive root, a share and the long form are handled
// alike everywhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hostenv {

// How long the root of path is: "C:\" and "C:", "\\server\share" (a separator after it belongs
// to the names), the same behind "\\?\" and "\\?\UNC\", and a lone "\" (the current drive's
// root); 0 for a path relative to the current folder.
std::size_t rootlength(std::string_view path);

// Whether path starts at a drive's root or at a share, in its plain or its long form: such a
// path means the same whatever the current folder is.
bool isfullpath(std::string_view path);

// path without the separators at its end, but never less than a root: "C:\Games\" gives
// "C:\Games", "C:\" stays, and a bare drive "C:" gives its root "C:\", the folder the system
// opens for it.
std::string withoutseparator(std::string_view path);

// folder with one separator at its end, as every path inside it starts: "C:\Games\\" gives
// "C:\Games\". An empty folder (the current one) stays empty.
std::string withseparator(std::string_view folder);

// The path of name inside folder, one separator between them however many folder ends in:
// "C:\Games\" and "x" give "C:\Games\x", a drive root "C:\" gives "C:\x". An empty folder (the
// current one) gives name.
std::string joinpath(std::string_view folder, std::string_view name);

// Where the last component of a path starts: just past its last "\", or 0.
std::size_t lastcomponentstart(std::string_view path);
// The last component of a path: the name of the file or folder it ends in; empty when the
// path ends in a separator.
std::string_view lastcomponent(std::string_view path);

// Whether the last component of path equals name, letter case aside.
bool samefilename(std::string_view path, std::string_view name);

// The folder that holds what path names, without a separator at its end but for a root's:
// "C:\Games\x" gives "C:\Games", "C:\x" gives "C:\". A root is its own parent; a bare name's
// is "", the current folder.
std::string parentpath(std::string_view path);

// Whether path is in the long form ("\\?\..."), which the system takes as it is written.
bool islongform(std::string_view path);
// The long form of a full path, in which the system takes no name for a device, drops no dot
// or blank at a name's end and applies no length limit: "C:\x" gives "\\?\C:\x",
// "\\server\share" gives "\\?\UNC\server\share". A long form, or a relative path, which has
// none, stays as it is.
std::string longform(std::string_view path);
// The plain form of a long one, as a message shows it and as the system's final paths are
// compared: "\\?\C:\x" gives "C:\x", "\\?\UNC\server\share" gives "\\server\share". Any other
// path stays as it is.
std::string plainform(std::string_view path);

// What ".." does at the root: the system stays there, a check refuses the path.
enum class AboveRoot { refuse, stay };

// path with "." and empty names dropped and each ".." taking away the name before it, its root
// as written and a separator at its end kept: the long form takes no "." or "..", so they are
// resolved before it is made. nullopt when a ".." would climb above the root and above says
// refuse.
std::optional<std::string> resolveddots(std::string_view path, AboveRoot above = AboveRoot::refuse);

// Whether path is folder or lies inside it as Windows names files: letter case aside, the long
// form the same as the plain one, separators at the end aside, "." and ".." resolved, and only
// whole names compared ("C:\Games2" is not inside "C:\Games"). A name ending in a dot or a
// blank names one file in the plain form and another in the long form, so a path or folder
// holding one is never told inside; neither is a relative one nor one that climbs above its
// root.
bool liesinside(std::string_view path, std::string_view folder);

// path as a program may write it: a full path on a drive with "." and ".." resolved. nullopt,
// with why ("is not a full path on a drive", ...), for a path that holds a "/" or a NUL, an
// empty name, a ".." above the drive, or a name ending in a dot or a blank: Windows would read
// each otherwise than it reads here, and so write elsewhere than was checked.
std::optional<std::string> checkeddrivepath(std::string_view path, std::string& why);

}  // namespace hostenv
