#pragma once

// The three machine axes, always handled and transmitted in this order.
enum class Axis { X = 0, Y = 1, Z = 2 };

constexpr int axisIndex(Axis axis) {
    return static_cast<int>(axis);
}
