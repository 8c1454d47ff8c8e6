#include "recording/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace recording {

namespace {
constexpr const char* notOrdinaryFile = "not an ordinary file";
}  // namespace

RecordFile::RecordFile(std::string path, FileLimits limits)
    : path_(std::move(path)), limits_(limits) {}

RecordFile::~RecordFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RecordFile::open(std::string_view header) {
    if (fd_ >= 0) ::close(fd_);
    // Opened without waiting and checked before anything is cut: a named pipe nobody reads
    // would hold the window's thread in open(), and a device is no place for a recording.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd_ < 0) return errno == ENXIO ? notOrdinaryFile : std::strerror(errno);
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return notOrdinaryFile;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd_, 0) != 0)
        return std::strerror(errno);
    size_ = 0;
    return writeAll(header);
}

std::string RecordFile::writeAll(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::strerror(n < 0 ? errno : ENOSPC);
        text.remove_prefix(static_cast<std::size_t>(n));
        size_ += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::string RecordFile::rotate(std::string_view header) {
    const std::string older = path_ + ".1";
    if (std::rename(path_.c_str(), older.c_str()) != 0) return std::strerror(errno);
    return open(header);
}

std::string RecordFile::append(std::string_view lines, std::string_view header) {
    if (fd_ < 0) return std::strerror(EBADF);
    // An open file whose name has gone (the directory removed, a stick pulled) would take the
    // lines into nothing anyone can read.
    struct stat open {
    }, named{};
    if (::fstat(fd_, &open) != 0 || ::stat(path_.c_str(), &named) != 0 ||
        open.st_ino != named.st_ino || open.st_dev != named.st_dev)
        return std::strerror(ENOENT);
    struct statvfs disk {};
    if (::fstatvfs(fd_, &disk) == 0 &&
        static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize < limits_.minFreeBytes)
        return std::strerror(ENOSPC);
    // The lines that fit go to this file, the rest to the next one, never a line cut in two; a
    // file holding no more than its header takes at least one line.
    while (size_ + lines.size() > limits_.maxBytes) {
        const std::uint64_t room = limits_.maxBytes - std::min(size_, limits_.maxBytes);
        std::size_t end = lines.substr(0, static_cast<std::size_t>(room)).rfind('\n');
        if (end == std::string_view::npos && size_ <= header.size()) end = lines.find('\n');
        if (end != std::string_view::npos) {
            if (std::string why = writeAll(lines.substr(0, end + 1)); !why.empty()) return why;
            lines.remove_prefix(end + 1);
        }
        if (lines.empty()) return {};
        if (std::string why = rotate(header); !why.empty()) return why;
    }
    return writeAll(lines);
}

}  // namespace recording
