#include "serial/CommErrors.h"

#include <cstring>

namespace serial {

std::string systemMessage(std::string_view what, int err) {
    char text[256];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* message = strerror_r(err, text, sizeof text);
    std::string out(what);
    out += " (";
    out += std::to_string(err);
    out += "), ";
    out += message;
    return out;
}

}  // namespace serial
