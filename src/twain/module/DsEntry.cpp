// The data source's shared object: its one export and its load and unload.
// Built into velloran.ds only, never into the static library, so that nothing
// else that links the TWAIN code runs the process attach.
#include <atomic>
#include <cstdlib>
#include <exception>
#include <type_traits>

#include "platform/Module.h"
#include "twain/DataSourceEntry.h"
#include "twain/TwainDriverModule.h"

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG,
                                                                      TW_UINT16 DAT, TW_UINT16 MSG,
                                                                      TW_MEMREF pData) {
  return EnterDataSource(TwainTriplet{pOrigin, DG, DAT, MSG, pData});
}

static_assert(std::is_same_v<decltype(&DS_Entry), DSENTRYPROC>);

namespace {

// Lives from attach to detach; a plain pointer so that loading the module runs
// no static constructor and unloading no static destructor besides these two.
CTwainDriverModule* g_module = nullptr;

// Set by an exit handler. At process exit every exit handler runs before any destructor
// function; at an unload the module's exit handlers run after its destructor functions, so
// this stays false through OnProcessDetach.
std::atomic<bool> g_processExiting{false};

void NoteProcessExit() { g_processExiting.store(true); }

// Without the handler an exit could not be told from an unload: the module is then never torn
// down, which at an unload leaks it but at an exit avoids destroying it after its libraries.
bool g_exitWatched = false;

__attribute__((constructor)) void OnProcessAttach() {
  g_exitWatched = platform::RunAtModuleExit(NoteProcessExit);
  try {
    g_module = new CTwainDriverModule();
    // Any address inside the module stands for it.
    g_module->Attach(reinterpret_cast<ModuleInstance>(&DS_Entry), platform::OwnModulePath());
  } catch (...) {
    // An exception must not end the host process while it loads us: without a
    // driver the entry point answers TWRC_SUCCESS and does nothing.
    if (g_module != nullptr) g_module->SetDriver(nullptr);
  }
}

__attribute__((destructor)) void OnProcessDetach() {
  // The process is ending: what the module owns goes with it. Application threads may still be
  // inside the source, and the libraries it uses have destroyed their statics already.
  if (g_processExiting.load() || !g_exitWatched) return;
  delete g_module;
  g_module = nullptr;
}

}  // namespace
