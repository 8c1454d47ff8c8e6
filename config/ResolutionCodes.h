#pragma once

// The wire codes the box knows a resolution by, and their place in the axis parameters dialog's
// lists. Kind 1 boxes have their own list; kinds 2 to 4 share another; for any other kind every
// index has code 0 and every code selects index 0. Free of Qt: the configuration file checks its
// codes by them too.
namespace resolution {

// The two families of lists.
inline bool isKind1(int kind) {
    return kind == 1;
}
inline bool isKind2to4(int kind) {
    return kind >= 2 && kind <= 4;
}

// The highest valid code of a kind's list: 7 for kind 1, 10 for kinds 2 to 4, 0 otherwise.
int maxCode(int deviceKind);
// The lowest code the dialog writes to an axis it has: 1 for kind 1 (whose code 0 tells that the
// axis is missing), 0 otherwise.
int minCode(int deviceKind);
// Wire code of a combo index; no selection (-1) gives -1 for kind 1 and -2 for kinds 2 to 4.
int codeForIndex(int deviceKind, int index);
// Combo index a code selects (may lie beyond the list: the combo then has no selection).
int indexForCode(int deviceKind, int code);
// Lowest index an angular axis may use: the entry "0.001" (2 for kind 1, 4 for kinds 2 to 4);
// -1 for other kinds, which have no such rule.
int angularMinimumIndex(int deviceKind);

}  // namespace resolution
