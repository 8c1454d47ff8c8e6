#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A request's head as it arrives on a connection of the live view, read by our own rules before
// anything else sees it: nothing here allocates more than the head's limit, and what the head
// says about the connection (close after the answer, a protocol switch, a body) is told apart
// from what is asked for.
namespace web {

struct HeadLimits {
    std::size_t bytes = 8 * 1024;  // the request line, the fields and the empty line
    std::size_t fields = 50;       // header fields; a browser sends about twenty
};

struct ParsedHead {
    // 0: a whole head, `length` bytes of the input; -1: not yet whole; else the refusal's
    // status (400 malformed, 431 over a limit).
    int status = -1;
    std::size_t length = 0;
    std::string method;
    std::string path;  // the target up to its query, as sent
    std::string host;  // the Host field; empty when absent
    bool http10 = false;
    bool close = false;    // the connection ends with this answer (HTTP/1.0, "Connection: close")
    bool upgrade = false;  // asks to switch protocols
    bool body = false;     // a body follows (Content-Length other than 0, Transfer-Encoding)
};

// Reads the head at the start of `input` (what has come so far on the connection).
ParsedHead parseHead(std::string_view input, const HeadLimits& limits);

// Whether `input` holds a whole request line: the connection has shown it speaks HTTP.
bool hasRequestLine(std::string_view input);

}  // namespace web
