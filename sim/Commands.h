#pragma once

#include <cstdint>

// The command bytes the host sends, as the box knows them.
namespace sim::cmd {

constexpr std::uint8_t ReadPositions = 0xE1;
constexpr std::uint8_t ReadCorrections = 0xE4;
constexpr std::uint8_t ReadCalibration = 0xE5;
constexpr std::uint8_t ReadResolution = 0xE6;
constexpr std::uint8_t ReadLineCounts = 0xE7;
constexpr std::uint8_t ReadDimensionTypes = 0xE8;
constexpr std::uint8_t CheckReady = 0xE9;
constexpr std::uint8_t WriteCorrections = 0xEA;
constexpr std::uint8_t WriteCalibration = 0xEB;
constexpr std::uint8_t WriteResolution = 0xEC;
constexpr std::uint8_t WriteLineCounts = 0xED;
constexpr std::uint8_t WriteDimensionTypes = 0xEE;
constexpr std::uint8_t WriteReference = 0xEF;
constexpr std::uint8_t EndConfiguration = 0xF1;

// Acknowledgements: the box accepts a write's byte, or asks for it again.
constexpr std::uint8_t Accept = 0xE0;
constexpr std::uint8_t Resend = 0xEA;

constexpr bool isRead(std::uint8_t b) {
    return b == ReadPositions || (b >= ReadCorrections && b <= CheckReady);
}
constexpr bool isWrite(std::uint8_t b) {
    return b >= WriteCorrections && b <= WriteReference;
}
constexpr bool isCommand(std::uint8_t b) {
    return isRead(b) || isWrite(b) || b == EndConfiguration;
}

// The operation's name, e.g. "ReadPositions"; "?" for other bytes.
const char* name(std::uint8_t b);

}  // namespace sim::cmd
