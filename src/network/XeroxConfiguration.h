#pragma once

class Logger;
class SettingsStore;
class XeroxConnectorHolder;
class XeroxException;

// Puts the scan template on the Xerox device of the settings (MfpName), trying the stored
// endpoint pattern first (when there is one), then the service address with and without a
// trailing "/". The pattern that works is stored for the next time. Returns on success; throws
// the XeroxException of the last attempt, or any other exception at once. Blocks the calling
// thread for the whole exchange.
void ConfigureXeroxDevice(XeroxConnectorHolder& holder, const Logger& logger, const SettingsStore& settings);

// The message box for a connector failure: the no-connection text for the unreachable code,
// the connector's description otherwise.
void ShowXeroxError(const XeroxException& failure);

// The scan start's part: with Mode bit 0x04 the template is put on the device (logger
// "Velloran"); a failure is logged and shown. False when the scan must not start (the caller then
// asks the application to close the source). Other modes never contact the device.
bool PrepareXeroxScan(XeroxConnectorHolder& holder, const SettingsStore& settings);

// The MFP page's "Check connection": the configuration with a connector of its own, then a
// message box that says how it went.
void CheckConnection(const SettingsStore& settings);
