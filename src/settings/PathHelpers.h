#pragma once

#include <string>

// Creates the folder and every missing folder above it. Every "/" after the first character ends
// a folder to create; a path that does not end with "/" is itself created last. True when all
// folders exist afterwards.
bool CreateFolderPath(const std::string& path);

// A value that starts with "@" is a path template: the "@" is dropped and every "<user_name>"
// (the user's login name, "UserNotFound" when it is unknown) and every "<x86>" (" (x86)" for a
// 32-bit process on a 64-bit system, else nothing) is replaced. Other values come back unchanged.
std::string ExpandPathTemplate(const std::string& value);

// The IPv4 address under which other machines reach this computer: the first address the host
// name resolves to, unless that is a loopback address (127.x, as many Linux systems map their
// own name), in which case the first address of an active network interface; empty when there
// is none.
std::string GetLocalIpAddress();
