#include "config/Resolution.h"

namespace resolution {

QStringList entries(int deviceKind) {
    if (isKind1(deviceKind)) {
        return {"0.0001", "0.0005", "0.001", "0.005", "0.01", "0.05", "0.1"};
    }
    if (isKind2to4(deviceKind)) {
        return {"0.00005", "0.0001", "0.0002", "0.0005", "0.001", "0.002",
                "0.005",   "0.01",   "0.05",   "0.1",    "1"};
    }
    return {};
}

}  // namespace resolution
