// The message library: formatting of values for messages and names.
#pragma once

#include <string>

// The context a script formats in (locale and the like). The default context
// formats numbers as plain ASCII decimal digits without grouping.
class qlScriptContext {
 public:
  qlScriptContext() = default;
};

// Opaque object that a warning may refer to.
class qlMetaObject {
 public:
  virtual ~qlMetaObject() = default;
};

class qlTextFormatter {
 public:
  // Renders an unsigned integer as decimal digits ("0", "42", "4294967295").
  static std::string format_impl(unsigned int value, const qlScriptContext& context);
};
