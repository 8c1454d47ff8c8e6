#include "link/RequestNames.h"

std::string_view requestName(std::uint8_t command) {
    switch (command) {
        case 0xE1:
            return "positions";
        case 0xE4:
            return "read corrections";
        case 0xE5:
            return "read calibration";
        case 0xE6:
            return "read resolution";
        case 0xE7:
            return "read line counts";
        case 0xE8:
            return "read dimension types";
        case 0xE9:
            return "ready";
        case 0xEA:
            return "write corrections";
        case 0xEB:
            return "write calibration";
        case 0xEC:
            return "write resolution";
        case 0xED:
            return "write line counts";
        case 0xEE:
            return "write dimension types";
        case 0xEF:
            return "reference";
        case 0xF1:
            return "end configuration";
        default:
            return "unknown";
    }
}
