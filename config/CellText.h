#pragma once

#include <string>

// The text of a correction grid cell: the value rounded to 8 significant digits, in fixed
// notation with `decimals` digits after the point; a value with more than 8 digits before the
// point in scientific notation instead ("1.2345679E9"). Always '.' as the decimal point, whatever
// the user's locale. Infinities and NaN, which have no digits, read "INF", "-INF" and "NAN".
std::string correctionCellText(long double value, int decimals);
