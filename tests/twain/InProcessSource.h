#pragma once

#include "support/InProcessSource.h"

namespace twain_test {

using test_support::MakeIdentity;
using InProcessSource = test_support::InProcessSourceTest<Velloran>;

}  // namespace twain_test
