// Text formatting for solver input decks: numbers, entry lists and set names
// kept within the limits of the solver's input reader.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kestrum::Quilm::Solver {

// Every failure to turn an analysis model into a solver deck: records the
// solver cannot represent, broken references, numbers that cannot be written.
class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The solver misreads numbers longer than this many characters.
inline constexpr std::size_t kMaxNumberLength = 20;
// Longest set or material name the solver accepts.
inline constexpr std::size_t kMaxSetNameLength = 80;
// Most entries the solver reads from one data line.
inline constexpr std::size_t kMaxEntriesPerLine = 16;

// The number as the deck writes it: 12 significant digits, at most
// kMaxNumberLength characters. Throws ExportError for a value that is not
// finite; `what` names the quantity in that message.
std::string FormatNumber(double value, const std::string& what = "value");

// Room FormatNumberTo needs: more than the longest text it writes.
inline constexpr std::size_t kNumberBufferSize = 32;

// FormatNumber without an allocation: writes the same text to `buffer`
// (kNumberBufferSize characters, not terminated) and returns its end.
char* FormatNumberTo(char* buffer, double value, const char* what);

// The number as a real that the solver cannot take for an integer:
// FormatNumber's text with a decimal point added where it has neither one
// nor an exponent ("5000" becomes "5000.", -0 "0."). The spring card needs
// it: the solver tells its degree-of-freedom line from its stiffness line by
// that point, and refuses a whole stiffness. Throws as FormatNumber.
std::string FormatReal(double value, const std::string& what = "value");

// Writes `entries` as comma-separated data lines of at most
// kMaxEntriesPerLine entries each.
void WriteEntryLines(std::ostream& out, const std::vector<std::string>& entries);
void WriteIdLines(std::ostream& out, const std::vector<long>& ids);

// Checks a set or material name: 1..kMaxSetNameLength characters of letters,
// digits and underscores, starting with a letter. Throws ExportError otherwise.
const std::string& CheckSetName(const std::string& name);

// The text made safe for a comment line: line breaks become spaces.
std::string CommentText(const std::string& text);

}  // namespace Kestrum::Quilm::Solver
