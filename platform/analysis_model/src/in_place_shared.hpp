// MakeSharedInPlace: a boost::shared_ptr whose object lives in its reference
// count block. Internal to the library.
//
// Like boost::make_shared, one heap block holds both; unlike the make_shared
// of the boost versions we build with, the pointer is not copied on the way
// out, which saves two atomic count operations per object. The model makes
// such pointers by the million (load records, element handles).
#pragma once

#include <boost/shared_ptr.hpp>
#include <memory>
#include <new>
#include <utility>

namespace Kestrum::Quilm::AnalysisModel {

// The deleter that holds the object. boost keeps its own copy of the deleter
// inside the count block; the object is built in that copy.
template <class T>
class InPlaceDeleter {
 public:
  InPlaceDeleter() noexcept = default;
  // A copy never carries an object: only the count block's copy gets one.
  InPlaceDeleter(const InPlaceDeleter&) noexcept {}
  InPlaceDeleter& operator=(const InPlaceDeleter&) = delete;
  ~InPlaceDeleter() { Destroy(); }

  template <class... Args>
  T* Construct(Args&&... args) {
    T* object = ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    constructed_ = true;
    return object;
  }
  // Called by the count block when the last owner lets go.
  void operator()(T*) noexcept { Destroy(); }

 private:
  void Destroy() noexcept {
    if (!constructed_) return;
    constructed_ = false;
    std::launder(reinterpret_cast<T*>(storage_))->~T();
  }

  alignas(T) unsigned char storage_[sizeof(T)];
  bool constructed_ = false;
};

// Builds a T from `args` inside a new count block taken from `allocator`;
// returns it as a shared_ptr<Base>. Should T's constructor throw, the block
// is released and the exception passes on.
template <class Base, class T, class Allocator, class... Args>
boost::shared_ptr<Base> AllocateSharedInPlace(const Allocator& allocator, Args&&... args) {
  boost::shared_ptr<T> holder(static_cast<T*>(nullptr), InPlaceDeleter<T>(), allocator);
  T* object = boost::get_deleter<InPlaceDeleter<T>>(holder)->Construct(std::forward<Args>(args)...);
  return boost::shared_ptr<Base>(std::move(holder), object);
}

// The same with the count block taken from the heap.
template <class Base, class T, class... Args>
boost::shared_ptr<Base> MakeSharedInPlace(Args&&... args) {
  return AllocateSharedInPlace<Base, T>(std::allocator<T>(), std::forward<Args>(args)...);
}

}  // namespace Kestrum::Quilm::AnalysisModel
