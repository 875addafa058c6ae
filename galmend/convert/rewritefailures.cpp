#include "rewritefailures.h"

#include <sstream>
#include <string>

namespace galmend {

namespace {

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string linenumber(std::size_t index) {
    return std::to_string(index + 1);
}

std::string opens(std::size_t k, int p) {
    return "Galaxy line " + linenumber(k) + " opens block " + std::to_string(p) + ", ";
}

}  // namespace

hostenv::Failure oldheadermissing(std::size_t k, int r) {
    return hostenv::Failure(
        "Galaxy line " + linenumber(k) + " begins with line " +
        linenumber(static_cast<std::size_t>(r)) +
        " of the old structure definition \"oldstruct.txt\", but that definition has no "
        "header line, so the galaxy line belongs to no block.");
}

hostenv::Failure oldlinewithoutblock(int r) {
    return hostenv::Failure("Line " + linenumber(static_cast<std::size_t>(r)) +
                            " of the old structure definition \"oldstruct.txt\" belongs to no "
                            "block: that definition has no header line.");
}

hostenv::Failure oldblockmissing(int p) {
    return hostenv::Failure("The old structure definition \"oldstruct.txt\" has no block " +
                            std::to_string(p) + ".");
}

hostenv::Failure newblockmissing(std::size_t k, int p, const BlockTable& newblocks) {
    return hostenv::Failure(
        opens(k, p) + "but the new structure definition \"newstruct.txt\" has no block " +
        std::to_string(p) +
        (newblocks ? ": its last block is " + std::to_string(newblocks->size() - 1) + "."
                   : ": it has no header line."));
}

hostenv::Failure newheaderoverflow(int p, std::size_t k) {
    return hostenv::Failure(
        "Overflow in the new structure definition \"newstruct.txt\": block " + std::to_string(p) +
        ", opened by galaxy line " + linenumber(k) +
        ", has its header at line 32768, so its template lines lie beyond the last line a "
        "block can use.");
}

hostenv::Failure templatemissing(std::size_t k, int p, double n, std::size_t t,
                                 std::size_t definitionlines) {
    return hostenv::Failure(opens(k, p) + "whose count " + number(n) +
                            " in the new structure definition \"newstruct.txt\" needs template "
                            "line " +
                            linenumber(t) + ", but that definition ends at line " +
                            std::to_string(definitionlines) + ".");
}

hostenv::Failure galaxylinemissing(std::size_t k, int p, std::size_t t, std::string_view text,
                                   std::size_t g, std::size_t galaxylines) {
    return hostenv::Failure(opens(k, p) + "whose template line " + linenumber(t) +
                            " of the new structure definition \"newstruct.txt\" (\"" +
                            std::string(text) + "\") needs galaxy line " + linenumber(g) +
                            ", but the galaxy ends at line " + std::to_string(galaxylines) + ".");
}

}  // namespace galmend
