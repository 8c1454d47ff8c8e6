#pragma once

#include <string>

#include "sim/Settings.h"

namespace sim {

// The box's settings as text, one "key=value" a line, so a box keeps what the host wrote between
// runs of kvt3-sim. Calibration is kept as the bytes the box stores.
std::string settingsToText(const BoxSettings& s);
// Reads what settingsToText wrote into s (keys missing from the text keep their values).
// Returns false with a message naming the line when the text cannot be read; s is then unchanged.
bool settingsFromText(const std::string& text, BoxSettings& s, std::string& error);

// Whole files; saving writes a temporary file and renames it over the old one.
bool loadSettings(const std::string& path, BoxSettings& s, std::string& error);
bool saveSettings(const std::string& path, const BoxSettings& s, std::string& error);

}  // namespace sim
