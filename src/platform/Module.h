#pragma once

#include <string>

namespace platform {

// A shared object opened with dlopen. Move-only: the handle is closed exactly once, when the
// owning Module dies, unless Keep() was called.
class Module {
 public:
  Module() = default;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  Module(Module&& other) noexcept;
  Module& operator=(Module&& other) noexcept;
  ~Module();

  // Opens the library with RTLD_NOW | RTLD_LOCAL. An unloaded Module on failure
  // (LastModuleError() says why).
  static Module Load(const std::string& pathOrName);

  // A library that is already in the process, without loading it: first by soname
  // (RTLD_NOLOAD), then by the file name of every loaded object. The handle holds a
  // reference of its own, so the library stays loaded while the Module lives.
  static Module FindLoaded(const std::string& fileName);

  bool IsLoaded() const { return handle_ != nullptr; }

  // The address of an exported symbol, nullptr when absent or when nothing is loaded.
  void* Symbol(const char* name) const;

  // Never unload: forgets the handle, leaving the library's reference count raised.
  void Keep();

 private:
  explicit Module(void* handle) : handle_(handle) {}
  void Close();

  void* handle_ = nullptr;
};

// Runs `handler` when the shared object that contains this code is unloaded, or at process
// exit when that comes first, as atexit does in a shared object; the registration names this
// object explicitly, so that tools that wrap atexit (ThreadSanitizer) keep it tied to it.
bool RunAtModuleExit(void (*handler)());

// The file of the shared object (or executable) that contains this code.
std::string OwnModulePath();
// Its folder, with a trailing "/": where the libraries and programs installed beside it are.
std::string OwnModuleFolder();

// The text of the last dlopen/dlsym failure of this thread, empty when there is none.
std::string LastModuleError();

}  // namespace platform
