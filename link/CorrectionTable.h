#pragma once

#include <array>
#include <cstddef>

// One row of a segment correction table: a position and its corrected value, in box units.
struct TCorrectionEntry {
    long double Position = 0;
    long double Corrected = 0;
    bool operator==(const TCorrectionEntry&) const = default;
};

// A segment correction table: 512 rows indexed from 1; at most 255 are ever in use.
struct TCorrectionTable {
    static constexpr int Size = 512;
    TCorrectionEntry& operator[](int row) { return rows[static_cast<std::size_t>(row - 1)]; }
    const TCorrectionEntry& operator[](int row) const {
        return rows[static_cast<std::size_t>(row - 1)];
    }
    std::array<TCorrectionEntry, Size> rows{};
    bool operator==(const TCorrectionTable&) const = default;
};
