// SPDX-License-Identifier: MIT
#include "system.h"

#ifdef _WIN32
#include <filesystem>
#include <string>
#include <system_error>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace mksrec {

#ifdef _WIN32

namespace {

// A file name as fopen() reads it. Windows' C library reads narrow names in the process
// code page (UTF-8, by mksrec's manifest), where the filesystem library would read them in
// another: a name beyond ASCII would then miss its file.
std::filesystem::path filePath(const char* name) {
    const int size = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), size);
    wide.pop_back(); // the terminating null
    return wide;
}

} // namespace

// Windows keeps its standard handles apart from the files a program opens, has no SIGPIPE,
// and has no FIFOs or block devices to name twice: only a regular file can be the input.
int openStandardDescriptors() {
    return -1;
}

void ignoreBrokenPipes() {}

bool isInputFile(std::FILE*, const char* inPath, const char* outPath) {
    std::error_code ec;
    const std::filesystem::path in = filePath(inPath), out = filePath(outPath);
    return std::filesystem::is_regular_file(out, ec) && std::filesystem::equivalent(in, out, ec);
}

#else

int openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // open() takes the lowest free number, which is fd itself: every one below it is
        // open by now.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) {
            return fd;
        }
    }
    return -1;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool isInputFile(std::FILE* in, const char* /*inPath*/, const char* outPath) {
    struct stat input {};
    struct stat output {};
    // An output that does not exist yet cannot be the input.
    if (fstat(fileno(in), &input) != 0 || stat(outPath, &output) != 0) {
        return false;
    }
    if (S_ISBLK(input.st_mode) && S_ISBLK(output.st_mode)) {
        return input.st_rdev == output.st_rdev;
    }
    if (S_ISCHR(output.st_mode) || S_ISSOCK(output.st_mode)) {
        return false;
    }
    return input.st_dev == output.st_dev && input.st_ino == output.st_ino;
}

#endif

} // namespace mksrec
