#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace platform {

// Holds a function-local static that the C++ run-time never destroys:
//
//   WaitHub& Hub() {
//     static platform::NeverDestroyed<WaitHub> hub;
//     return hub.Get();
//   }
//
// A static with a destructor is destroyed by an exit handler registered at its first use, so at
// process exit the statics of every library die in the reverse order of first use, before any
// module's destructor function runs and while other threads may still use them. Storage inside
// the module itself (no heap) keeps an unload leak-free; whatever the object holds that must be
// given back at unload is released explicitly by its owner.
template <typename T>
class NeverDestroyed {
 public:
  template <typename... Args>
  explicit NeverDestroyed(Args&&... args) {
    std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
  }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) std::byte storage_[sizeof(T)];
};

}  // namespace platform
