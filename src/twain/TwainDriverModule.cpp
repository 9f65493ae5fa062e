#include "twain/TwainDriverModule.h"

#include <cassert>
#include <exception>

#include "acquisition/PdfLibrary.h"
#include "logging/LoggingSetup.h"
#include "settings/SettingsPlacement.h"
#include "settings/SettingsStore.h"
#include "twain/Velloran.h"

namespace {

// Constant-initialised: no code runs for it when the module is loaded.
CTwainDriverModule* g_currentModule = nullptr;

}  // namespace

CTwainDriverModule::CTwainDriverModule() {
  assert(g_currentModule == nullptr && "one module object per loaded module");
  g_currentModule = this;
}

CTwainDriverModule::~CTwainDriverModule() {
  m_driver.reset();
  // Loaded on behalf of the source; nothing else gives it back before the module goes.
  ReleasePdfLibrary();
  m_settings.reset();
  if (m_loggingConfigured) ShutdownLogging();
  if (g_currentModule == this) g_currentModule = nullptr;
}

CTwainDriverModule* CTwainDriverModule::Current() { return g_currentModule; }

bool CTwainDriverModule::Attach(ModuleInstance instance, const std::string& modulePath) {
  if (instance == nullptr) return false;
  m_settings = PlaceSettingsFiles(ModuleBaseName(modulePath));
  ConfigureLogging(*m_settings);
  m_loggingConfigured = true;
  SetDriver(std::make_unique<Velloran>(instance, *m_settings));
  return true;
}

void CTwainDriverModule::SetDriver(std::unique_ptr<TwainDriver> driver) { m_driver = std::move(driver); }
