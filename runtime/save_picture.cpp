#include "save_picture.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/errors.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rt {

namespace {

[[noreturn]] void fail(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: throw RuntimeError(ErrorCode::PathNotFound, "Path not found");
        case EACCES:
        case EPERM:
        case EROFS: throw RuntimeError(ErrorCode::PermissionDenied, "Permission denied");
        default: throw RuntimeError(ErrorCode::DeviceIoError, "Device I/O error");
    }
}

}  // namespace

void SavePicture(const PictureRef& picture, const std::string& path) {
    if (!picture) throw RuntimeError(ErrorCode::InvalidPicture, "Invalid picture");
    const std::string bytes = encodeBmp24(picture->image);
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) fail(ENOENT);
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
        fail(EACCES);
    }
#else
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) fail(errno);
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        done += std::size_t(n);
    }
    if (::fchmod(fd, 0644) != 0 && !error) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        fail(error == ENOENT ? EIO : error);
    }
#endif
}

}  // namespace rt
