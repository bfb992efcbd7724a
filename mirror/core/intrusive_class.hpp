// IntrusiveClass: the plain (non-atomic) reference count behind
// boost::intrusive_ptr for mirror objects.
#pragma once

#include <cstdint>

#include "mirror/core/export.hpp"

namespace Kestrum::Quilm::Utility {

// Base of T's hierarchy holding the reference count. T must have a virtual
// destructor: the last release deletes the object through it.
//
// Copying never copies the count: a fresh copy starts at 0 (so that the host
// can wrap it in an intrusive_ptr and have it freed by its last holder), and
// an assignment keeps the target's own count (its holders are unchanged).
template <class T>
class QUILM_MIRROR_API IntrusiveClass {
 public:
  IntrusiveClass() noexcept = default;
  IntrusiveClass(const IntrusiveClass&) noexcept {}
  IntrusiveClass& operator=(const IntrusiveClass&) noexcept { return *this; }

  // Number of intrusive_ptr holders.
  std::int32_t GetReferenceCount() const noexcept { return refCount_; }

  friend void intrusive_ptr_add_ref(const IntrusiveClass* p) noexcept { ++p->refCount_; }
  friend void intrusive_ptr_release(const IntrusiveClass* p) noexcept {
    if (--p->refCount_ == 0) Destroy(p);
  }

 protected:
  ~IntrusiveClass() = default;

 private:
  // Kept out of line: where two releases of one object are inlined one after
  // the other, the compiler would otherwise follow the first one's possible
  // deletion into the second and warn of a use after free (-Wuse-after-free)
  // in every program that holds a mirror object twice.
  [[gnu::noinline]] static void Destroy(const IntrusiveClass* p) noexcept { delete static_cast<const T*>(p); }

 private:
  mutable std::int32_t refCount_ = 0;
};

}  // namespace Kestrum::Quilm::Utility
