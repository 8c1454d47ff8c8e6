#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "workshop/Units.h"

// The workshop functions' choices, in a file of their own beside the settings file
// (workshop.kv3), so that params.kv3 stays exactly as older builds write and read it. Lines
// "key=value" with CR LF; unknown keys and bad values are ignored (the choice keeps its default).
namespace workshop {

struct WorkshopSettings {
    Display display;
    std::array<bool, 3> diameter{};
    // Near zero within this distance, in the box's units (mm, degrees).
    double tolerance = 0.01;
    // The point chosen when the program ended, from 1; 0 for none: a job goes on after a restart.
    int point = 0;
    // The top view was open when the program ended: it opens again.
    bool topView = false;

    bool operator==(const WorkshopSettings&) const = default;
};

WorkshopSettings parseWorkshopSettings(std::string_view text);
std::string workshopSettingsText(const WorkshopSettings& settings);

}  // namespace workshop
