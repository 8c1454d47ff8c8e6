#pragma once

#include <cstdint>
#include <string_view>

// What a request is called where people read it (the line trace): 0xE1 "positions", 0xEB
// "write calibration"; "unknown" for a byte that is no request of the protocol.
std::string_view requestName(std::uint8_t command);
