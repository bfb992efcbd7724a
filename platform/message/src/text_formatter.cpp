#include "message/text_formatter.hpp"

std::string qlTextFormatter::format_impl(unsigned int value, const qlScriptContext&) {
  // Locale-independent on purpose: names built from it go into model files.
  return std::to_string(value);
}
