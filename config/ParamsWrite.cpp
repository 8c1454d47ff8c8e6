#include "config/ParamsWrite.h"

#include <memory>

#include "config/WriteChain.h"
#include "link/RSLib.h"

namespace {

bool isKnownKind(int kind) {
    return kind >= 1 && kind <= 4;
}

}  // namespace

bool writeParams(WriteChain& chain, TRS232Service& service, const ParamsValues& values,
                 const std::function<bool(std::function<void()>)>& startChain,
                 std::function<void()> typesWritten) {
    // The steps outlive this call: each runs from the box's acknowledgement of the one before.
    const auto v = std::make_shared<const ParamsValues>(values);
    auto lineCounts = [&chain, &service, v, typesWritten = std::move(typesWritten)] {
        if (typesWritten) typesWritten();
        chain.then([&chain, &service] {
            if (isKnownKind(service.DeviceKind()))
                chain.finish();
            else
                chain.abandon();
        });
        service.WriteLineCounts(v->lineCounts[0], v->lineCounts[1], v->lineCounts[2]);
    };
    auto afterCalibration = [&chain, &service, v, lineCounts = std::move(lineCounts)] {
        const auto& codes = v->resolutionCodes;
        const int kind = service.DeviceKind();
        if (kind == 1) {
            chain.then([&chain, &service, v, lineCounts] {
                chain.then(lineCounts);
                service.WriteDimensionTypes(v->dimensionTypes);
            });
            service.WriteResolution(codes[0], codes[1], codes[2]);
        } else if (isKnownKind(kind)) {
            chain.then(lineCounts);
            service.WriteResolutionAndTypes(codes[0], codes[1], codes[2], v->dimensionTypes);
        } else {
            // A box of no known kind takes nothing more.
            chain.abandon();
        }
    };
    if (!v->writeCalibration) {
        if (!startChain([] {})) return false;
        afterCalibration();
        return true;
    }
    if (!startChain(std::move(afterCalibration))) return false;
    service.WriteCalibration(v->calibration[0], v->calibration[1], v->calibration[2]);
    return true;
}
