#pragma once

#include <memory>

#include "connectors/CXeroxConnector.h"
#include "network/CXeroxConnectorEventsHandler.h"
#include "network/MfpCertificatePins.h"

// At most one Xerox connector with the event handler and the certificate pins it borrows. A new
// connector replaces the previous one, which goes before its handler, so no event reaches a
// handler that is gone. Used on one thread at a time.
class XeroxConnectorHolder {
 public:
  XeroxConnectorHolder() = default;
  XeroxConnectorHolder(const XeroxConnectorHolder&) = delete;
  XeroxConnectorHolder& operator=(const XeroxConnectorHolder&) = delete;
  ~XeroxConnectorHolder() { Reset(); }

  // Destroys the previous connector and makes one subscribed to a new handler.
  CXeroxConnector& Replace(const std::u16string& endpointUrl, const std::u16string& templateName,
                           const SettingsStore& settings) {
    Reset();
    handler_ = std::make_unique<CXeroxConnectorEventsHandler>(settings);
    pins_ = std::make_unique<MfpCertificatePins>(settings);
    connector_ = std::make_unique<CXeroxConnector>(endpointUrl, templateName);
    connector_->SubscribeEvents(handler_.get());
    connector_->SetCertificatePins(pins_.get());
    return *connector_;
  }
  void Reset() {
    connector_.reset();
    handler_.reset();
    pins_.reset();
  }
  bool HasConnector() const { return connector_ != nullptr; }

 private:
  std::unique_ptr<CXeroxConnectorEventsHandler> handler_;
  std::unique_ptr<MfpCertificatePins> pins_;
  std::unique_ptr<CXeroxConnector> connector_;
};
