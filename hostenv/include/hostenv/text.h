// Text rules shared by both programs: byte strings, 1-based positions, names in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostenv {

// A file's lines without their line ends, first line at index 0.
using Lines = std::vector<std::string>;
// What readtextlines answers: nullopt when the file does not exist, which callers
// must tell apart from a file without lines.
using MaybeLines = std::optional<Lines>;

// The text with letter case folded as Windows folds file names: lower(a) == lower(b)
// exactly when Windows takes a and b for the same name. ASCII letters become lower case,
// so ASCII names keep their order; bytes that are not valid UTF-8 pass through unchanged.
std::string lower(std::string_view text);

// Whether a name holds a character Windows forbids in a file name (a double quote, "*", "?",
// "<", ">", "|" or a control character): a Linux folder seen through Wine may hold such names.
bool forbiddenname(std::string_view name);

// The leading-number rule: blanks, tabs and line feeds are ignored; then a decimal
// number with optional sign, point and exponent (E or D), or &H hex / &O octal digits.
// Text that does not begin with a number gives 0.
double leadingnumber(std::string_view text);

// A count as labels and the manifest print it: a blank in the sign position, then digits.
std::string signform(long long number);

// A count with its noun, as a message says it: "1 galaxy", "3 galaxies".
std::string counted(long long number, std::string_view one, std::string_view many);

// The bytes without the CR LFs at their very end, which end no line of their own.
std::string_view withoutfinalbreaks(std::string_view bytes);

// Cuts bytes into lines at CR LF after dropping every CR LF at the very end.
Lines splitlines(std::string_view bytes);

// The lines that splitlines cuts, as views into the text: a few bytes a line where Lines
// costs a string each, which counts for a galaxy of millions of lines. The text must
// outlive the index.
class LineIndex {
  public:
    // Indexes bytes; the memory of an earlier index is used again.
    void assign(std::string_view bytes);
    std::size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }
    std::string_view operator[](std::size_t i) const {
        return text_.substr(starts_[i], starts_[i + 1] - 2 - starts_[i]);
    }

  private:
    std::string_view text_;
    // Where each line starts, then where a line after the last would start.
    std::vector<std::size_t> starts_;
};

// UTF-8 text as a message quotes it: each character that would not show, or would look
// like another (a NUL, a control character, a no-break or zero-width space, a byte-order
// mark), written out as "<NUL>" or "<U+FEFF>", and each byte that is not valid UTF-8 as
// "<0xFF>", so that two texts that differ never read the same.
std::string visibletext(std::string_view text);

// A path as a message or a report line shows it: each control character, which would break
// the line or hide itself, written out as "\xHH" (a line feed as "\x0A"); the rest as it is.
std::string shownpath(std::string_view path);

// File-name match of the lists: "*" any run, "?" one character (a code point, or a byte
// that is not valid UTF-8), letter case aside as lower folds it.
bool matchespattern(std::string_view name, std::string_view pattern);

// Adds the character c to text in UTF-8.
void appendutf8(std::string& text, char32_t c);

}  // namespace hostenv
