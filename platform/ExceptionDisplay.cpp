#include "platform/ExceptionDisplay.h"

#include <cstdio>
#include <utility>

namespace platform {

namespace {
ExceptionDisplay& display() {
    static ExceptionDisplay d;
    return d;
}
}  // namespace

void setExceptionDisplay(ExceptionDisplay d) { display() = std::move(d); }

void showException(const std::string& message) {
    if (auto d = display()) {
        d(message);
        return;
    }
    std::fprintf(stderr, "%s\n", message.c_str());
}

}  // namespace platform
