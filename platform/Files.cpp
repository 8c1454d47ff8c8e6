#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Translate.h"

namespace platform {

namespace {

// A descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { closeNow(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes, telling whether the last of the writes reached the file.
    bool closeNow() {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names, through symbolic links; the path itself when it is no link. A link that
// leads nowhere yet names the file it leads to, which is then made where the link points, as a
// shell's redirection would: a rename onto the path would put a file in the link's place.
std::string followLink(const std::string& path) {
    std::string at = path;
    // As many links as the system itself follows in one path.
    for (int links = 0; links < 40; ++links) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(at.c_str(), nullptr),
                                                             &std::free);
        if (resolved) return resolved.get();
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return at;
        target.resize(static_cast<std::size_t>(n));
        at = target.front() == '/' ? target : directoryOf(at) + "/" + target;
    }
    return at;
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The new file beside `target` of the process `pid`: ".params.kv3.<pid>.tmp" for params.kv3.
std::string temporaryName(const std::string& target, long pid) {
    const auto slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return dir + "." + baseOf(target) + "." + std::to_string(pid) + ".tmp";
}

// New files of processes stopped before they could rename them (killed, or the machine went
// down) would pile up beside the file: those of processes that no longer exist are removed.
void removeLeftovers(const std::string& target) {
    const std::string prefix = "." + baseOf(target) + ".";
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(directoryOf(target).c_str()));
    if (!dir) return;
    std::vector<long> stale;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
        const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        long pid = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), pid);
        if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(pid);
    }
    for (long pid : stale) ::unlink(temporaryName(target, pid).c_str());
}

// A new file beside `target` that no other process names: the process id is in its name. A file
// of that name left by an earlier process of the same id is removed first.
Descriptor createBeside(const std::string& target, std::string& name, mode_t mode) {
    removeLeftovers(target);
    name = temporaryName(target, ::getpid());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) return Descriptor(fd);
        ::unlink(name.c_str());
    }
    return Descriptor(-1);
}

// The rename itself reaches the disk only with the directory.
void syncDirectory(const std::string& dir) {
    Descriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

// The file itself written with `text`: from its start, and cut to the new length only then, so
// that it is never left empty. A write that fails part way puts the old text back: the old end
// after the new beginning could read as a whole file of neither (a backup of one box with the
// tables of another).
bool writeInPlace(const std::string& target, std::string_view text, mode_t keptMode) {
    Descriptor fd(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // The files written here are small; a larger one is not read back whole, and not written.
    constexpr off_t largest = 1 << 20;
    if (st.st_size > largest) return false;
    std::string previous(static_cast<std::size_t>(st.st_size), '\0');
    for (std::size_t got = 0; got < previous.size();) {
        const ssize_t n = ::pread(fd.get(), previous.data() + got, previous.size() - got,
                                  static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    if (writeAll(fd.get(), text) && ::ftruncate(fd.get(), static_cast<off_t>(text.size())) == 0 &&
        ::fsync(fd.get()) == 0) {
        // Best effort: a file of someone else's that we may write keeps its permissions.
        if ((st.st_mode & keptMode) != (st.st_mode & 07777)) {
            [[maybe_unused]] const int kept = ::fchmod(fd.get(), st.st_mode & keptMode);
        }
        return fd.closeNow();
    }
    if (::lseek(fd.get(), 0, SEEK_SET) == 0 && writeAll(fd.get(), previous)) {
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), st.st_size);
    }
    return false;
}

}  // namespace

std::string fileErrorText(int error) {
    if (error == notRegularFile) return translate("Files", "to nie jest zwykły plik");
    char text[256];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    return ::strerror_r(error, text, sizeof text);
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes,
                                           int* error) {
    const auto failed = [error](int why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    // Looked at before opening, so that opening has no effect on a device; checked again on
    // what was opened, which may have changed in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode)) return failed(notRegularFile);
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return failed(errno);
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return failed(notRegularFile);

    std::string content(maxBytes, '\0');
    std::size_t total = 0;
    while (total < content.size()) {
        const ssize_t n = ::read(fd.get(), content.data() + total, content.size() - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(errno);
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    content.resize(total);
    return content;
}

bool replaceFile(const std::string& path, std::string_view text, int* error, bool ownerOnly) {
    const auto failed = [error](int why) {
        if (error) *error = why;
        return false;
    };
    const std::string target = followLink(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return failed(notRegularFile);
    // The rename needs only the directory: without this a read-only file would be replaced.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return failed(errno);

    // A secret is never readable by others, not even between the creation and the rename.
    const mode_t keptMode = ownerOnly ? 0700 : 07777;
    std::string temporary;
    Descriptor fd = createBeside(target, temporary, ownerOnly ? 0600 : 0666);
    if (!fd.valid()) {
        const int reason = errno;
        const bool directoryRefused = reason == EACCES || reason == EPERM || reason == EROFS;
        if (!exists || !directoryRefused) return failed(reason);
        errno = reason;
        return writeInPlace(target, text, keptMode) || failed(errno);
    }
    if (exists) {
        // Run by root (sudo), the new file would be root's, and a file only its owner may read
        // would be lost to the owner. Anyone else may at most set what it already is; a refusal
        // leaves the new file as the process's own, which is all it can do.
        [[maybe_unused]] const int owned = ::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    const bool written = (!exists || ::fchmod(fd.get(), old.st_mode & keptMode) == 0) &&
                         writeAll(fd.get(), text) && ::fsync(fd.get()) == 0 && fd.closeNow() &&
                         ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        const int reason = errno;
        ::unlink(temporary.c_str());
        return failed(reason);
    }
    syncDirectory(directoryOf(target));
    return true;
}

}  // namespace platform
