#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <utility>

// The C++ runtime's registration of exit handlers for one shared object, and this object's handle.
extern "C" int __cxa_atexit(void (*handler)(void*), void* argument, void* dsoHandle);
extern "C" void* __dso_handle;

namespace platform {
namespace {

// A plain buffer, not a std::string: a thread-local object with a destructor pins the module
// that holds it in memory until its thread ends, so a data source that once failed a lookup on
// the application's thread could never be unloaded, and would then be torn down at process exit
// after the libraries it uses.
thread_local char lastError[512];

void RememberError() {
  const char* text = dlerror();
  std::strncpy(lastError, text ? text : "", sizeof lastError - 1);
  lastError[sizeof lastError - 1] = '\0';
}

std::string BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

struct LoadedObjectSearch {
  const std::string* fileName;
  std::string foundPath;
};

int MatchLoadedObject(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<LoadedObjectSearch*>(data);
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  if (BaseName(info->dlpi_name) != *search->fileName) return 0;
  search->foundPath = info->dlpi_name;
  return 1;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

Module::Module(Module&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Module::~Module() { Close(); }

void Module::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

Module Module::Load(const std::string& pathOrName) {
  void* handle = dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) RememberError();
  return Module(handle);
}

Module Module::FindLoaded(const std::string& fileName) {
  if (fileName.empty()) return Module();
  if (void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD)) return Module(handle);
  // A library without a matching soname is still found by the name of its file.
  LoadedObjectSearch search{&fileName, {}};
  dl_iterate_phdr(MatchLoadedObject, &search);
  if (search.foundPath.empty()) return Module();
  void* handle = dlopen(search.foundPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) RememberError();
  return Module(handle);
}

void* Module::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) RememberError();
  return address;
}

void Module::Keep() { handle_ = nullptr; }

std::string OwnModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&OwnModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return ExecutablePath();
  }
  const std::string path = info.dli_fname;
  // The main program is reported by the name it was started with, which may be relative.
  if (path.empty() || path.find('/') == std::string::npos) return ExecutablePath();
  return path;
}

std::string OwnModuleFolder() {
  const std::string path = OwnModulePath();
  return path.substr(0, path.rfind('/') + 1);
}

std::string LastModuleError() { return lastError; }

bool RunAtModuleExit(void (*handler)()) {
  return __cxa_atexit([](void* argument) { reinterpret_cast<void (*)()>(argument)(); },
                      reinterpret_cast<void*>(handler), &__dso_handle) == 0;
}

}  // namespace platform
