#pragma once

#include <string>
#include <string_view>

#include "workshop/Points.h"

// Points made by a pattern: a bolt-hole circle or a row or grid of holes, in the X-Y plane, in the
// box's units. Z is left free. The points made are ordinary points, numbered from 1 after `name`.
namespace workshop {

struct BoltCircle {
    double centreX = 0, centreY = 0;
    double diameter = 0;
    int count = 0;
    double startDegrees = 0;  // from +X, counter-clockwise
    bool clockwise = false;
};

struct Grid {
    double startX = 0, startY = 0;
    double stepX = 0, stepY = 0;  // along the row and across it
    int countX = 1, countY = 1;
    double angleDegrees = 0;  // the row's direction, from +X counter-clockwise
};

// The points, or why the pattern makes no sense: a Polish sentence; `points` is then empty.
struct Generated {
    Points points;
    std::string error;
};

Generated boltCircle(const BoltCircle& circle, std::string_view name);
Generated grid(const Grid& grid, std::string_view name);

}  // namespace workshop
