#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Small text files the operator keeps beside the program: read without ever blocking, and
// replaced whole or not at all.
namespace platform {

// Why a file could not be read or replaced, for `error` below: a system error number (errno),
// or this for something that is there but no regular file (a directory, a pipe, a device).
constexpr int notRegularFile = -1;
// The reason as the operator reads it: the system's text for an error number, in the user's
// language where the system has it.
std::string fileErrorText(int error);

// The start of the file at `path` (its first maxBytes), read without ever blocking: only a
// regular file (a symbolic link to one is followed). Nothing when the file is missing, is
// anything else (a named pipe, a device, a directory), or cannot be read; `error`, when given,
// then says why.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes,
                                           int* error = nullptr);

// Puts `text` in place of the file at `path` so that, whatever fails and wherever the process is
// stopped, the file holds either its old content or the new one, whole: the text goes into a new
// file beside it, is flushed to the disk, and the new file is renamed over the old one. A
// symbolic link is followed and the file it leads to replaced, or made when it leads nowhere yet
// (the link is never replaced by a file); the file's permissions are kept (with `ownerOnly`, a
// file that holds a secret, only the owner's: read and write for the owner alone, also when the
// file was readable by others before), and so are its owner and group where the process may set
// them (run by root). Something at
// `path` that is not a regular file is left alone, and so is a file the process may not write
// (made read-only on purpose). Where no new file can be made beside it (a directory the process
// may not write), a writable file is written in place instead: from its start, then cut to the
// new length, so that it is never left empty; a write that fails part way puts the old content
// back. Returns whether the new content is in place; `error`, when given, says why not.
bool replaceFile(const std::string& path, std::string_view text, int* error = nullptr,
                 bool ownerOnly = false);

}  // namespace platform
