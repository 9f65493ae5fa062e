#pragma once

class CSSConnector;
class SettingsStore;

// The user and password for a daemon that protects its scanners (its saned.users list): keys
// RemoteUser and RemotePassword of section RemoteScan, empty when absent.
void ApplyRemoteScanCredentials(const SettingsStore& settings, CSSConnector& connector);
