#include "BuildPaths.h"

namespace test_support {

std::string VelloranDsPath() { return VELLORAN_DS_PATH; }
std::string TestDsmPath() { return TEST_DSM_PATH; }
std::string TestDsmLegacyPath() { return TEST_DSM_LEGACY_PATH; }

}  // namespace test_support
