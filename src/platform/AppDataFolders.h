#pragma once

#include <string>

namespace platform {

// The per-user application-data folder: $XDG_CONFIG_HOME, else $HOME/.config.
// Without trailing "/".
std::string AppDataFolder();

// The all-users application-data folder: the first entry of $XDG_CONFIG_DIRS, else /etc/xdg.
// Without trailing "/".
std::string CommonAppDataFolder();

}  // namespace platform
