// Command-line parsing shared by the tools: strict whole numbers and one-line
// errors that name the option.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quilm_tools {

// A check of an option's text: a decimal whole number from `min` to `max`
// (no sign other than a leading minus, no octal or hex, no overflow).
// Apply it before the value is converted, so a too-large number can never
// wrap round or be clamped.
CLI::Validator WholeNumber(long long min, long long max);

// Parses the command line. Returns -1 to go on; otherwise the exit status,
// after printing --help or --version to stdout or the one-line error
// "<tool>: <option>: <problem> (see --help)" to stderr.
int Parse(CLI::App& app, int argc, char** argv, const char* tool);

}  // namespace quilm_tools
