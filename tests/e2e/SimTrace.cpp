#include "tests/e2e/SimTrace.h"

#include <functional>
#include <sstream>

namespace e2e {

namespace {

// Calls the visitor with the time, the speaker and the rest of every timed trace line; the
// stats lines and anything else without a leading time are left out.
void forEachTraceLine(
    const std::string& trace,
    const std::function<void(double, const std::string&, const std::string&)>& visit) {
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        double time = 0;
        std::string who;
        if (!(words >> time >> who)) continue;
        std::string rest;
        std::getline(words >> std::ws, rest);
        visit(time, who, rest);
    }
}

}  // namespace

std::vector<TraceRequest> requestsFromTrace(const std::string& trace) {
    std::vector<TraceRequest> requests;
    forEachTraceLine(trace, [&](double time, const std::string& who, const std::string& rest) {
        std::istringstream words(rest);
        std::string what, number, command;
        words >> what;
        if (who == "host>box" && !requests.empty()) {
            requests.back().hostBytes.push_back(
                static_cast<std::uint8_t>(std::stoul(what, nullptr, 16)));
        } else if (who == "box" && what == "request" && (words >> number >> command)) {
            // The command byte itself was the last byte the host sent before.
            if (!requests.empty() && !requests.back().hostBytes.empty())
                requests.back().hostBytes.pop_back();
            requests.push_back({time,
                                std::stoi(number),
                                static_cast<std::uint8_t>(std::stoul(command, nullptr, 16)),
                                {}});
        }
    });
    return requests;
}

double totalReadingsPerSecond(const std::string& log) {
    const std::size_t at = log.rfind("total: ");
    return at == std::string::npos ? -1 : std::stod(log.substr(at + 7));
}

double timeOfNote(const std::string& trace, const std::string& text) {
    double found = -1;
    forEachTraceLine(trace, [&](double time, const std::string& who, const std::string& rest) {
        if (found < 0 && who == "box" && rest.find(text) != std::string::npos) found = time;
    });
    return found;
}

int countNotesAfter(const std::string& trace, const std::string& text, double after) {
    int count = 0;
    forEachTraceLine(trace, [&](double time, const std::string& who, const std::string& rest) {
        if (time > after && who == "box" && rest.find(text) != std::string::npos) ++count;
    });
    return count;
}

}  // namespace e2e
