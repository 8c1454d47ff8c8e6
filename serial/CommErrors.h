#pragma once

#include <string>
#include <string_view>

namespace serial {

// Refusals that carry no system error.
inline constexpr const char* kCantWhileOpen = "Can't perform this operation while port is open";
inline constexpr const char* kOutputBufferFull = "Output buffer is full. Please check comm status.";

// "<what> (<err>), <system text for err>", the form of every failed system call's message.
std::string systemMessage(std::string_view what, int err);

}  // namespace serial
