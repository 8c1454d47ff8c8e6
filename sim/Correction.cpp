#include "sim/Correction.h"

namespace sim {

double applySegmentCorrection(const TCorrectionTable& table, int n, double count) {
    if (n <= 0) return count;
    const auto position = [&](int row) { return static_cast<double>(table[row].Position); };
    const auto corrected = [&](int row) { return static_cast<double>(table[row].Corrected); };
    if (count <= position(1)) return count + corrected(1) - position(1);
    for (int row = 2; row <= n; ++row) {
        if (count > position(row)) continue;
        const double span = position(row) - position(row - 1);
        if (span <= 0) return count + corrected(row) - position(row);
        const double f = (count - position(row - 1)) / span;
        return corrected(row - 1) + f * (corrected(row) - corrected(row - 1));
    }
    return count + corrected(n) - position(n);
}

}  // namespace sim
