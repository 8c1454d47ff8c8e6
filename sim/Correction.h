#pragma once

#include "link/CorrectionTable.h"

namespace sim {

// A count through the segment correction of an axis: rows 1..n map a measured position to the
// corrected one, linearly between rows (positions rising). Before the first row and after the
// last the count is shifted by that row's correction. n = 0 leaves the count as it is.
double applySegmentCorrection(const TCorrectionTable& table, int n, double count);

}  // namespace sim
