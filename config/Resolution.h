#pragma once

#include <QStringList>

#include "config/ResolutionCodes.h"

// The resolution lists of the axis parameters dialog (the codes in config/ResolutionCodes.h).
namespace resolution {

// The entries shown for a device kind (empty for kinds without a list).
QStringList entries(int deviceKind);

}  // namespace resolution
