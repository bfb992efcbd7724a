// Command-line parsing shared by the tools.
#include "command_line.hpp"

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace quilm_tools {

CLI::Validator WholeNumber(long long min, long long max) {
  const std::string range = std::to_string(min) + " to " + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
        if (text.size() == first || text.find_first_not_of("0123456789", first) != std::string::npos)
          return "\"" + text + "\" is not a whole number";
        errno = 0;
        const long long value = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || value < min || value > max) return text + " is out of range (" + range + ")";
        return {};
      },
      "from " + range);
}

int Parse(CLI::App& app, int argc, char** argv, const char* tool) {
  try {
    app.parse(argc, argv);
    return -1;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::string message = e.what();
    for (char& c : message)
      if (c == '\n') c = ' ';
    std::cerr << tool << ": " << message << " (see --help)\n";
    return 2;
  }
}

}  // namespace quilm_tools
