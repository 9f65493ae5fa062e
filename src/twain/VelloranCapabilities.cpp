// Capability set-up of the data source.
#include "twain/Velloran.h"
#include "twain/capabilities/CapabilityCatalogue.h"

void Velloran::AddCapabilities() {
  for (TW_UINT16 id : capability_catalogue::CreationOrder()) {
    if (m_capabilities.contains(id)) {
      m_logger.Debug("Capability already exist: 0x%x", static_cast<unsigned>(id));
      continue;
    }
    m_capabilities.emplace(id, capability_catalogue::Create(id));
    m_logger.Debug("Added capability: 0x%x", static_cast<unsigned>(id));
  }
  // Made anew at every opening: its list is fixed, so nothing is lost.
  m_capabilities[CAP_SUPPORTEDCAPS] = capability_catalogue::Create(CAP_SUPPORTEDCAPS);
}
