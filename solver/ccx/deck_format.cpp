// Number and line formatting for solver decks.
#include "solver/ccx/deck_format.hpp"

#include <cctype>
#include <charconv>
#include <cmath>

namespace Kestrum::Quilm::Solver {

char* FormatNumberTo(char* buffer, double value, const char* what) {
  if (!std::isfinite(value))
    throw ExportError("cannot write " + std::string(what) + ": it is not a finite number");
  if (value == 0.0) {  // also turns -0 into 0
    *buffer = '0';
    return buffer + 1;
  }
  // 12 significant digits give at most 19 characters ("-1.23456789012e-100"),
  // one below the reader's limit, and more precision than any input needs.
  // The general format with a precision is printf's %.12g, locale-free.
  const auto [end, ec] =
      std::to_chars(buffer, buffer + kNumberBufferSize, value, std::chars_format::general, 12);
  if (ec != std::errc() || static_cast<std::size_t>(end - buffer) > kMaxNumberLength)
    throw ExportError("cannot write " + std::string(what) + " in " + std::to_string(kMaxNumberLength) +
                      " characters");
  return end;
}

std::string FormatNumber(double value, const std::string& what) {
  char buffer[kNumberBufferSize];
  return std::string(buffer, FormatNumberTo(buffer, value, what.c_str()));
}

std::string FormatReal(double value, const std::string& what) {
  std::string text = FormatNumber(value, what);
  if (text.find_first_of(".e") == std::string::npos) text += '.';
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
