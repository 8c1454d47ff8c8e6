#include "sim/Commands.h"

namespace sim::cmd {

const char* name(std::uint8_t b) {
    switch (b) {
        case ReadPositions:
            return "ReadPositions";
        case ReadCorrections:
            return "ReadCorrections";
        case ReadCalibration:
            return "ReadCalibration";
        case ReadResolution:
            return "ReadResolution";
        case ReadLineCounts:
            return "ReadLineCounts";
        case ReadDimensionTypes:
            return "ReadDimensionTypes";
        case CheckReady:
            return "CheckReady";
        case WriteCorrections:
            return "WriteCorrections";
        case WriteCalibration:
            return "WriteCalibration";
        case WriteResolution:
            return "WriteResolution";
        case WriteLineCounts:
            return "WriteLineCounts";
        case WriteDimensionTypes:
            return "WriteDimensionTypes";
        case WriteReference:
            return "WriteReference";
        case EndConfiguration:
            return "EndConfiguration";
        default:
            return "?";
    }
}

}  // namespace sim::cmd
