#include "network/RemoteScanCredentials.h"

#include "connectors/CSSConnector.h"
#include "settings/SettingsStore.h"

void ApplyRemoteScanCredentials(const SettingsStore& settings, CSSConnector& connector) {
  connector.SetCredentials(settings.ReadString("RemoteScan", "RemoteUser", ""),
                           settings.ReadString("RemoteScan", "RemotePassword", ""));
}
