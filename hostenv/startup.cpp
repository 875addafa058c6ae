#include "hostenv/startup.h"

#include <algorithm>
#include <stdexcept>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"

namespace hostenv {

std::string readgamefolder(Platform& platform, FileSystem& fs, const std::string& windirdrive) {
    const std::string key =
        is64bitwindows(platform, fs, windirdrive)
            ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mervane\\Kestrix\\zarn\\Path"
            : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path";
    // Nothing stored reads as "" and so gives "\": the gate then finds no game there and
    // refuses, which is how a missing install ends.
    return registryop(platform, "read", key) + "\\";
}

MaybeLines readdatafile(FileSystem& fs, const std::string& file, const std::string& role) {
    try {
        return readtextlines(fs, file);
    } catch (const Failure& failure) {
        throw Failure("The " + role + " \"" + file + "\" cannot be read.\r\n" + failure.what());
    }
}

std::string readtargetversion(FileSystem& fs) {
    const auto target = readdatafile(fs, "targetzarnver.txt", "game version file");
    if (!target) {
        throw Failure(
            "The game version file \"targetzarnver.txt\" was not found in the folder the "
            "program was started from.");
    }
    if (target->empty()) {
        throw Failure(
            "The game version file \"targetzarnver.txt\" is empty: its first line must name "
            "the game version this program is made for.");
    }
    return target->front();
}

void versiongate(UserInterface& ui, const std::string& gameversion,
                 const std::string& targetversion, const Lines& message) {
    // An empty target names no version, so nothing can match it: two empty texts (an
    // unreadable file and no game found) must not open the gate.
    if (!targetversion.empty() && gameversion == targetversion) return;
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += message[i];
    }
    ui.messagebox(text);
    ui.endprogram(exitversiongate);
}

Lines splitatblanks(const std::string& text) {
    Lines pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        const auto blank = text.find(' ', start);
        pieces.push_back(text.substr(start, blank - start));
        if (blank == std::string::npos) return pieces;
        start = blank + 1;
    }
}

namespace {

bool issilentswitch(const std::string& piece) {
    return isswitch(piece, "s") || isswitch(piece, "silent");
}

}  // namespace

bool isswitch(const std::string& piece, std::string_view name) {
    return piece.size() == name.size() + 1 && (piece[0] == '/' || piece[0] == '-') &&
           lower(piece.substr(1)) == name;
}

bool hassilentswitch(const std::string& args) {
    const Lines pieces = splitatblanks(args);
    return std::any_of(pieces.begin(), pieces.end(), issilentswitch);
}

bool hasswitch(const std::string& args, std::string_view name) {
    const Lines pieces = splitatblanks(args);
    return std::any_of(pieces.begin(), pieces.end(),
                       [&](const std::string& piece) { return isswitch(piece, name); });
}

void readswitches(const std::string& args, UserInterface& ui, const std::function<void()>& silent,
                  const std::function<bool(const std::string&)>& known) {
    for (const auto& piece : splitatblanks(args)) {
        if (!issilentswitch(piece) && known && known(piece)) continue;
        if (!issilentswitch(piece)) {
            ui.messagebox("Invalid argument: " + piece);
            ui.endprogram(exitinvalidargument);
        }
        silent();
    }
}

const ControlLayout& design(const FormLayout& layout, std::string_view name) {
    const auto found = std::find_if(layout.controls.begin(), layout.controls.end(),
                                    [&](const auto& c) { return c.name == name; });
    if (found == layout.controls.end()) throw std::logic_error("no control " + std::string(name));
    return *found;
}

}  // namespace hostenv
