#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The recording's file, below the window: appends, rotates at a size, and says why it cannot go
// on. Free of Qt; used from the recording's own thread.
namespace recording {

struct FileLimits {
    std::uint64_t maxBytes = 64ull << 20;       // then FILE becomes FILE.1 and FILE starts anew
    std::uint64_t minFreeBytes = 200ull << 20;  // less free on the disk stops the recording
};

class RecordFile {
public:
    RecordFile(std::string path, FileLimits limits = {});
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Makes (or empties) the file and writes `header`. Returns why not ("" when open).
    std::string open(std::string_view header);
    // Appends `lines` (whole lines), after a rotation when they would pass the size; a new file
    // starts with `header`. Returns why the recording cannot go on ("" when written): the file or
    // its directory gone, the disk full or nearly so, a write refused.
    std::string append(std::string_view lines, std::string_view header);
    const std::string& path() const { return path_; }

private:
    std::string writeAll(std::string_view text);
    std::string rotate(std::string_view header);

    std::string path_;
    FileLimits limits_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace recording
