#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Small text files the operator keeps beside the program: read without ever blocking, and
// replaced whole or not at all.
namespace platform {

// The start of the file at `path` (its first maxBytes), read without ever blocking: only a
// regular file (a symbolic link to one is followed). Nothing when the file is missing, is
// anything else (a named pipe, a device, a directory), or cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes);

// Puts `text` in place of the file at `path` so that, whatever fails and wherever the process is
// stopped, the file holds either its old content or the new one, whole: the text goes into a new
// file beside it, is flushed to the disk, and the new file is renamed over the old one. A
// symbolic link is followed and the file it leads to replaced; the file's permissions are kept,
// and so are its owner and group where the process may set them (run by root). Something at
// `path` that is not a regular file is left alone, and so is a file the process may not write
// (made read-only on purpose). Where no new file can be made beside it (a directory the process
// may not write), a writable file is written in place instead: from its start, then cut to the
// new length, so that it is never left empty; a write that fails part way puts the old content
// back. Returns whether the new content is in place.
bool replaceFile(const std::string& path, std::string_view text);

}  // namespace platform
