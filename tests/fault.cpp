// SPDX-License-Identifier: MIT
// Fault injection for the end-to-end tests, loaded with LD_PRELOAD: makes the stream that
// the program opens under the path FAULT_FILE fail the way real files fail, where no real
// file can be made to fail on cue.
//   FAULT_READ_AFTER=N  the read that would go past byte N stops there and fails once with
//                       EIO; a later read would go on as if nothing had happened, so a
//                       program that retried would be caught.
//   FAULT_CLOSE=1       fclose() closes the file and then fails with EIO, as a delayed write
//                       error on a network file system does.
//   FAULT_REPLACE=PATH  right after FAULT_FILE is opened, PATH is renamed over it, as another
//                       process could do at that moment.
//   FAULT_OPEN=1        open() of FAULT_FILE fails with ENFILE, as when the system's file
//                       table is full.
// Every other stream goes through untouched.

#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::FILE* target = nullptr;
bool readFailed = false;
std::size_t delivered = 0;

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool isTarget(const char* path) {
    const char* wanted = std::getenv("FAULT_FILE");
    return wanted != nullptr && std::strcmp(path, wanted) == 0;
}

std::FILE* remember(const char* path, std::FILE* stream) {
    if (stream != nullptr && isTarget(path)) {
        target = stream;
        if (const char* replacement = std::getenv("FAULT_REPLACE")) {
            std::rename(replacement, path);
        }
    }
    return stream;
}

} // namespace

// The C library's own declarations name their parameters with reserved identifiers.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" {
int open(const char* path, int flags, ...) {
    using Open = int (*)(const char*, int, ...);
    static const auto real = next<Open>("open");
    if (isTarget(path) && std::getenv("FAULT_OPEN") != nullptr) {
        errno = ENFILE;
        return -1;
    }
    // The mode is there only when a file may be created.
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list rest;
        va_start(rest, flags);
        mode = static_cast<mode_t>(va_arg(rest, unsigned));
        va_end(rest);
    }
    return real(path, flags, mode);
}
// A program built with large-file support calls open64(). The library is preloaded only into
// 64-bit programs, where the two are one call.
int open64(const char* path, int flags, ...) __attribute__((alias("open")));

std::FILE* fopen(const char* path, const char* mode) {
    using Open = std::FILE* (*)(const char*, const char*);
    static const auto real = next<Open>("fopen");
    return remember(path, real(path, mode));
}

std::FILE* fopen64(const char* path, const char* mode) {
    using Open = std::FILE* (*)(const char*, const char*);
    static const auto real = next<Open>("fopen64");
    return remember(path, real(path, mode));
}

std::size_t fread(void* buffer, std::size_t size, std::size_t count, std::FILE* stream) {
    using Read = std::size_t (*)(void*, std::size_t, std::size_t, std::FILE*);
    static const auto real = next<Read>("fread");
    const char* after = std::getenv("FAULT_READ_AFTER");
    if (stream != target || after == nullptr || readFailed || size != 1) {
        return real(buffer, size, count, stream);
    }
    const std::size_t limit = std::strtoul(after, nullptr, 10);
    if (delivered + count <= limit) {
        const std::size_t got = real(buffer, 1, count, stream);
        delivered += got;
        return got;
    }
    const std::size_t got = real(buffer, 1, limit - delivered, stream);
    delivered += got;
    readFailed = true;
    errno = EIO;
    return got;
}

int ferror(std::FILE* stream) {
    using Error = int (*)(std::FILE*);
    static const auto real = next<Error>("ferror");
    return (stream == target && readFailed) || real(stream) != 0 ? 1 : 0;
}

int fclose(std::FILE* stream) {
    using Close = int (*)(std::FILE*);
    static const auto real = next<Close>("fclose");
    const bool fail = stream == target && std::getenv("FAULT_CLOSE") != nullptr;
    const int result = real(stream);
    if (stream == target) {
        target = nullptr;
    }
    if (fail) {
        errno = EIO;
        return EOF;
    }
    return result;
}
}
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
