#pragma once

#include <QStringList>

// The resolution lists of the axis parameters dialog and the mapping between a combo index and
// the wire code the box knows the resolution by. Kind 1 boxes have their own list; kinds 2 to 4
// share another; for any other kind every index has code 0 and every code selects index 0.
namespace resolution {

// The entries shown for a device kind (empty for kinds without a list).
QStringList entries(int deviceKind);
// The highest valid code of a kind's list: 7 for kind 1, 10 for kinds 2 to 4, 0 otherwise.
int maxCode(int deviceKind);
// Wire code of a combo index; no selection (-1) gives -1 for kind 1 and -2 for kinds 2 to 4.
int codeForIndex(int deviceKind, int index);
// Combo index a code selects (may lie beyond the list: the combo then has no selection).
int indexForCode(int deviceKind, int code);
// Lowest index an angular axis may use: the entry "0.001" (2 for kind 1, 4 for kinds 2 to 4);
// -1 for other kinds, which have no such rule.
int angularMinimumIndex(int deviceKind);

}  // namespace resolution
