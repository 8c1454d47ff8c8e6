#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// One request the simulated box took, from its trace ("host>box E0",
// "box      request 6: E1 ReadPositions").
struct TraceRequest {
    double time = 0;  // seconds on the box's clock
    int number = 0;   // counted from 1 by the box
    std::uint8_t command = 0;
    std::vector<std::uint8_t> hostBytes;  // what the host sent after the command
};

// What the host sends between its position request and the next request, for a reply of three
// and of two axes.
inline const std::vector<std::uint8_t> threeAxisAcknowledgements = {
    0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0};
inline const std::vector<std::uint8_t> twoAxisAcknowledgements = {0xE0, 0xE0, 0xE0, 0xE2,
                                                                  0xE0, 0xE0, 0xE0};

std::vector<TraceRequest> requestsFromTrace(const std::string& trace);

// The readings a second of the box's closing "total:" line; -1 when there is none.
double totalReadingsPerSecond(const std::string& log);

// The time of the first box note containing the text; -1 when there is none.
double timeOfNote(const std::string& trace, const std::string& text);

// How many box notes after the given time contain the text.
int countNotesAfter(const std::string& trace, const std::string& text, double after);

}  // namespace e2e
