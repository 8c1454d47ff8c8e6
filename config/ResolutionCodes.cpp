#include "config/ResolutionCodes.h"

namespace resolution {

int maxCode(int deviceKind) {
    if (isKind1(deviceKind)) return 7;
    if (isKind2to4(deviceKind)) return 10;
    return 0;
}

// Kind 1: the code is the index, but index 0 is code 7. Kinds 2 to 4: the code is the index
// minus one, but index 0 is code 10.
int codeForIndex(int deviceKind, int index) {
    if (isKind1(deviceKind)) return index == 0 ? 7 : index;
    if (isKind2to4(deviceKind)) return index == 0 ? 10 : index - 1;
    return 0;
}

int indexForCode(int deviceKind, int code) {
    if (isKind1(deviceKind)) return code == 7 ? 0 : code;
    if (isKind2to4(deviceKind)) return code == 10 ? 0 : code + 1;
    return 0;
}

int minCode(int deviceKind) {
    return isKind1(deviceKind) ? 1 : 0;
}

int angularMinimumIndex(int deviceKind) {
    if (isKind1(deviceKind)) return 2;
    if (isKind2to4(deviceKind)) return 4;
    return -1;
}

}  // namespace resolution
