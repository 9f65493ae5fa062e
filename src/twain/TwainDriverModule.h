#pragma once

#include <memory>
#include <string>

#include "twain/TwainDriver.h"

class SettingsStore;

// The module object: lives exactly as long as the data source's shared object
// is loaded and owns the settings store and the one driver. Built at process
// attach, destroyed at detach; the destructor deletes the driver first, releases the PDF
// library, then deletes the settings and drops the logging repository. When the process exits
// without unloading the module, the module object is left to the end of the process.
class CTwainDriverModule {
 public:
  CTwainDriverModule();
  CTwainDriverModule(const CTwainDriverModule&) = delete;
  CTwainDriverModule& operator=(const CTwainDriverModule&) = delete;
  ~CTwainDriverModule();

  // The module object of this loaded module; nullptr before attach and after detach.
  static CTwainDriverModule* Current();

  // Process attach: places the settings files for the module's base name
  // (velloran.ds -> "velloran"), configures logging and creates the source.
  // Returns false when `instance` is null or the source cannot be created; the
  // entry point then answers every call with TWRC_SUCCESS and does nothing.
  bool Attach(ModuleInstance instance, const std::string& modulePath);

  // Valid after a successful Attach.
  SettingsStore& GetSettings() const { return *m_settings; }
  // nullptr until Attach has finished.
  TwainDriver* GetDriver() const { return m_driver.get(); }
  void SetDriver(std::unique_ptr<TwainDriver> driver);

 private:
  std::unique_ptr<SettingsStore> m_settings;
  std::unique_ptr<TwainDriver> m_driver;
  bool m_loggingConfigured = false;
};
