#include "twain/DataSourceEntry.h"

#include <exception>

#include "twain/TwainDriverModule.h"

TW_UINT16 EnterDataSource(const TwainTriplet& triplet) noexcept {
  const CTwainDriverModule* module = CTwainDriverModule::Current();
  TwainDriver* driver = module != nullptr ? module->GetDriver() : nullptr;
  if (driver == nullptr) return TWRC_SUCCESS;
  try {
    return driver->Dispatch(triplet);
  } catch (const std::exception& caught) {
    return driver->FailFromException(caught.what());
  } catch (...) {
    return driver->FailFromException(nullptr);
  }
}
