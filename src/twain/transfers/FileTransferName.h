#pragma once

#include <string>

#include "twain/twain.h"

// The file name of DAT_SETUPFILEXFER as the application wrote it: up to the first zero, at
// most 255 characters (the field need not be terminated).
std::string FileNameOf(const TW_SETUPFILEXFER& setup);

// The answer of DAT_SETUPFILEXFER: `name` (cut to 255 characters and terminated), BMP, volume 0.
void DescribeFileTransfer(const std::string& name, TW_SETUPFILEXFER& setup);

// Makes sure a regular file of that name exists, creating an empty one when there is none; an
// existing file is left as it is. False when the name is empty, names something that is not a
// regular file, or the file cannot be created.
bool EnsureFileExists(const std::string& path);
