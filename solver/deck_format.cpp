// Number and line formatting for solver decks.
#include "solver/deck_format.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace Kestrum::Quilm::Solver {

std::string FormatNumber(double value, const std::string& what) {
  if (!std::isfinite(value)) throw ExportError("cannot write " + what + ": it is not a finite number");
  if (value == 0.0) return "0";  // also turns -0 into 0
  // 12 significant digits give at most 19 characters ("-1.23456789012e-100"),
  // one below the reader's limit, and more precision than any input needs.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.12g", value);
  std::string text(buffer);
  if (text.size() > kMaxNumberLength)
    throw ExportError("cannot write " + what + " in " + std::to_string(kMaxNumberLength) + " characters");
  return text;
}

void WriteEntryLines(std::ostream& out, const std::vector<std::string>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out << entries[i];
    const bool lineFull = (i + 1) % kMaxEntriesPerLine == 0;
    if (i + 1 == entries.size() || lineFull) {
      out << '\n';
    } else {
      out << ", ";
    }
  }
}

void WriteIdLines(std::ostream& out, const std::vector<long>& ids) {
  std::vector<std::string> entries;
  entries.reserve(ids.size());
  for (long id : ids) entries.push_back(std::to_string(id));
  WriteEntryLines(out, entries);
}

const std::string& CheckSetName(const std::string& name) {
  bool ok =
      !name.empty() && name.size() <= kMaxSetNameLength && std::isalpha(static_cast<unsigned char>(name[0]));
  for (char c : name) ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (!ok) throw ExportError("invalid set name '" + name + "'");
  return name;
}

std::string CommentText(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

}  // namespace Kestrum::Quilm::Solver
