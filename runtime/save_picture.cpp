#include "save_picture.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

#include "graphics/errors.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rt {

std::string describeFileError(int error) {
    switch (error) {
        case ENOSPC: return "no space left on the device";
#ifdef EDQUOT
        case EDQUOT: return "the disk quota is used up";
#endif
        case EACCES:
        case EPERM: return "permission denied";
        case EROFS: return "read-only file system";
        case ENOENT: return "no such folder";
        case ENOTDIR: return "not a folder";
        case EISDIR: return "a folder has that name";
        case EFBIG: return "the file is too large for the file system";
        case EIO: return "input/output error on the device";
        default: break;
    }
    std::string text = std::generic_category().message(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || !(text[1] >= 'A' && text[1] <= 'Z')))
        text[0] = char(text[0] - 'A' + 'a');  // "Too many open files", not an acronym
    return text;
}

namespace {

[[noreturn]] void fail(int error) {
    std::string reason = describeFileError(error);
    switch (error) {
        case ENOENT:
        case ENOTDIR: throw RuntimeError(ErrorCode::PathNotFound, "Path not found", std::move(reason));
        case EACCES:
        case EPERM:
        case EROFS: throw RuntimeError(ErrorCode::PermissionDenied, "Permission denied", std::move(reason));
        default: throw RuntimeError(ErrorCode::DeviceIoError, "Device I/O error", std::move(reason));
    }
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// Writes all the bytes; 0, or the errno of the failure.
int writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += std::size_t(n);
    }
    return 0;
}

// The process id in a name temporaryName made, or 0 where it is not such a
// name.
pid_t pidOfTemporary(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (name.size() < 2 || name[0] != '.' || dot == std::string::npos || dot < 2) return 0;
    const std::size_t dash = name.find('-', dot);
    // Up to 9 digits of process id, and the attempt, below 100.
    if (dash == std::string::npos || dash == dot + 1 || dash - dot > 10 || name.size() - dash - 1 < 1 ||
        name.size() - dash - 1 > 2)
        return 0;
    for (std::size_t i = dot + 1; i < name.size(); ++i)
        if (i != dash && (name[i] < '0' || name[i] > '9')) return 0;
    return pid_t(std::stol(name.substr(dot + 1, dash - dot - 1)));
}

// Removes the hidden temporaries that processes no longer running left in
// the folder: killed between giving their bytes the hidden name and the
// rename, they left the target as it was before, so only the copy goes.
// Once per folder and run, as a process leaves them only when it ends and
// the folder may hold thousands of captures; so the next run clears them.
void sweepStaleTemporaries(const std::filesystem::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    std::error_code ec;
    const std::string key = std::filesystem::weakly_canonical(folder, ec).string();
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(ec ? folder.string() : key).second) return;
    }
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const pid_t pid = pidOfTemporary(it->path().filename().string());
        std::error_code ignored;
        if (pid <= 0 || pid == ::getpid() || !it->is_regular_file(ignored)) continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlink(it->path().c_str());
    }
}

#if defined(__linux__) && defined(O_TMPFILE)
// The hidden name a save that replaces a file gives its bytes first, before
// renaming them over the target: ".<file name>.<pid>-<attempt>".
std::string temporaryName(const std::filesystem::path& target, int attempt) {
    std::string name = target.filename().string();
    name.insert(name.begin(), '.');
    return name + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt);
}

#endif

// The bytes through an unnamed file in the folder (Linux O_TMPFILE), which
// gets a name only once it is complete: a program killed while writing
// leaves nothing behind. The file takes the target's name at once where
// that name is free, else a temporary name that then replaces the target.
// Returns false, having changed nothing, where the file system or the
// system offers no unnamed files or no way to name one (no /proc, and
// linking by descriptor not allowed); throws on any other failure.
bool saveThroughUnnamedFile(const std::string& bytes, const std::filesystem::path& folder,
                            const std::filesystem::path& target) {
#if defined(__linux__) && defined(O_TMPFILE)
    static bool unavailable = false;  // learnt once, not asked again every second
    if (unavailable) return false;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        // Other failures (no permission, no space) come again, and are
        // reported, on the way through a named file.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) unavailable = true;
        return false;
    }
    int error = writeAll(fd, bytes);
    if (!error && ::fchmod(fd, 0644) != 0) error = errno;
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    // Gives the file a name; EEXIST when the name is taken.
    auto link = [&](const std::string& name) {
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != ENOENT) return errno;
        // No /proc: linking the descriptor itself needs a privilege.
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return errno == ENOENT || errno == EPERM ? ENOSYS : errno;
    };
    if (!error) {
        error = link(target.string());
        if (error == EEXIST) {
            // Replacing a file: a free temporary name first, then one rename.
            for (int attempt = 0; attempt < 100; ++attempt) {
                const std::string temporary = (folder / temporaryName(target, attempt)).string();
                error = link(temporary);
                if (error == EEXIST) continue;
                if (!error && std::rename(temporary.c_str(), target.c_str()) != 0) {
                    error = errno;
                    ::unlink(temporary.c_str());
                }
                break;
            }
        }
    }
    ::close(fd);  // the data is in; a failed close of a local file loses nothing here
    if (error == ENOSYS) {
        unavailable = true;
        return false;
    }
    if (error) fail(error == ENOENT ? EIO : error);
    return true;
#else
    (void)bytes;
    (void)folder;
    (void)target;
    return false;
#endif
}
#endif

}  // namespace

void SavePicture(const PictureRef& picture, const std::string& path) {
    if (!picture) throw RuntimeError(ErrorCode::InvalidPicture, "Invalid picture");
#ifdef __EMSCRIPTEN__
    // A web page has no folders: the program's files are built into it and
    // nothing is ever written beside them, so the folder asked for does not
    // exist there (and the page carries no file system to look in).
    (void)path;
    fail(ENOENT);
#else
    const std::string bytes = encodeBmp24(picture->image());
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code ec;
    const auto folderStatus = std::filesystem::status(folder, ec);
    if (!std::filesystem::exists(folderStatus)) fail(ENOENT);
    if (!std::filesystem::is_directory(folderStatus)) fail(ENOTDIR);
#ifdef _WIN32
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) fail(errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        fail(EIO);
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::remove(temporary.c_str());
        // Windows refuses both a folder of that name and a file it may not
        // replace with "access denied"; the folder is told apart by looking.
        std::error_code probe;
        fail(std::filesystem::is_directory(target, probe) ? EISDIR : EACCES);
    }
#else
    sweepStaleTemporaries(folder);
    if (saveThroughUnnamedFile(bytes, folder, target)) return;
    std::string temporary = target.filename().string();
    temporary.insert(temporary.begin(), '.');
    temporary = (folder / (temporary + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) fail(errno);
    int error = writeAll(fd, bytes);
    if (::fchmod(fd, 0644) != 0 && !error) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        fail(error == ENOENT ? EIO : error);
    }
#endif
#endif
}

}  // namespace rt
