#pragma once

#include <string>

namespace test_support {

// Products of this build tree that tests load.
std::string VelloranDsPath();    // bin/velloran.ds
std::string TestDsmPath();       // the test manager, soname libtwaindsm.so.2
std::string TestDsmLegacyPath(); // a copy of it with soname libtwaindsm.so

}  // namespace test_support
