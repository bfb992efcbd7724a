// The persistent store's type registry.
//
// Every node type that a persistent container allocates must be described to
// the store before the first allocation: the store records its name and size
// so that a database can be laid out and checked. A description is a
// process-wide object (os_ts<T>::the_instance) that is initialised once with
// os_basic_typespec::initialize and removed with objectstore::deregister_type.
#pragma once

#include <cstddef>
#include <string>
#include <typeinfo>

namespace os_pse {

// Description of one persistent type: its name and layout size.
class os_typespec {
 public:
  const std::string& name() const noexcept { return name_; }
  std::size_t size() const noexcept { return size_; }
  bool is_registered() const noexcept { return registered_; }

 protected:
  friend class os_basic_typespec;
  friend struct objectstore;
  std::string name_;
  std::size_t size_ = 0;
  bool registered_ = false;
};

class os_basic_typespec : public os_typespec {
 public:
  // Fills `spec` with the name and size and registers it with the store.
  // Initialising an already registered description again changes nothing.
  static void initialize(os_basic_typespec& spec, const char* name, std::size_t size);
};

// The one description of T.
template <class T>
struct os_ts {
  static os_basic_typespec the_instance;
  // Registers T under its run-time type name.
  static void initialize() { os_basic_typespec::initialize(the_instance, typeid(T).name(), sizeof(T)); }
};
template <class T>
os_basic_typespec os_ts<T>::the_instance;

struct objectstore {
  // Removes a description from the store; allocating that type afterwards fails.
  static void deregister_type(os_typespec& spec);
  // Frees memory obtained from the store (arrays of persistent objects).
  static void free_memory(void* memory) noexcept;
  // Number of descriptions currently registered.
  static std::size_t registered_type_count();
};

}  // namespace os_pse
