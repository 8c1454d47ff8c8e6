// The box's counters: motion, reference marks, and for kinds 2..4 the box's own calibration and
// segment correction.
#include "link/WireFormats.h"
#include "sim/Box.h"
#include "sim/Correction.h"

namespace sim {

double Box::rawCountAt(int axis, std::int64_t nowUs) const {
    const auto i = static_cast<std::size_t>(axis);
    const Reference& r = reference_[i];
    const double offset = r.searching && nowUs >= r.foundAtUs ? r.pendingOffset : r.offset;
    return config_.motion[i].countAt(static_cast<double>(nowUs - epochUs_) / 1e6) + pushed_ -
           offset;
}

void Box::push(double counts) {
    pushed_ += counts;
}

bool Box::searchingReference(int axis, std::int64_t nowUs) const {
    const Reference& r = reference_[static_cast<std::size_t>(axis)];
    return r.searching && nowUs < r.foundAtUs;
}

std::int32_t Box::countAt(int axis, std::int64_t nowUs) const {
    // Until the mark comes the counter stands at 0.
    if (searchingReference(axis, nowUs)) return 0;
    const BoxSettings& s = config_.settings;
    double count = rawCountAt(axis, nowUs);
    if (config_.applyCorrections && s.kind >= 2) {
        // A calibration of 0 means none: the box would otherwise report nothing but 0.
        const auto factor = static_cast<double>(calibrationValue(s, axis));
        if (factor != 0) count *= factor;
        if (s.correctionFlags & (0x10u << axis))
            count = applySegmentCorrection(s.corrections[static_cast<std::size_t>(axis)],
                                           s.correctionCount, count);
    }
    return wire::roundHalfEvenToInt32(count);
}

}  // namespace sim
