#pragma once

#include <ostream>

#include "twain/twain.h"

namespace twacquire {

// Writes the identity a source reports, one field per line.
void PrintIdentity(std::ostream& out, const TW_IDENTITY& identity);

}  // namespace twacquire
