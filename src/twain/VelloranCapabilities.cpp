// Capability set-up of the data source.
#include "twain/Velloran.h"

void Velloran::AddCapabilities() {}
