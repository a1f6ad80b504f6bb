// SPDX-License-Identifier: MIT
#include "system.h"

#ifdef _WIN32
#include <io.h>

#include <iterator>

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

// Volume serial number and file index: the same pair is the same file, under any name.
bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace

// Windows keeps its standard handles apart from the files a program opens, has no SIGPIPE,
// and has no FIFOs or block devices to name twice: only a regular file can be the input.
int openStandardDescriptors() {
    return -1;
}

void ignoreBrokenPipes() {}

// fopen() refuses a directory on Windows, and every file there has a 64-bit size.
bool isDataStream(std::FILE*) {
    return true;
}

bool isInputFile(std::FILE* in, const char* outPath) {
    BY_HANDLE_FILE_INFORMATION input{};
    BY_HANDLE_FILE_INFORMATION output{};
    // The input through its open stream, so that a name replaced since does not count.
    const auto inHandle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in)));
    if (inHandle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(inHandle, &input) == 0) {
        return false;
    }
    // The narrow name as fopen() reads it, in the process code page (UTF-8, by mksrec's
    // manifest), widened here: the narrow CreateFileA stops at 260 characters on systems
    // (wine) whose fopen() does not, and the input would then be truncated unrecognised.
    // 32767 characters is the longest path Windows opens at all.
    static wchar_t wideOut[32768];
    if (MultiByteToWideChar(CP_ACP, 0, outPath, -1, wideOut,
                            static_cast<int>(std::size(wideOut))) == 0) {
        return false;
    }
    // No access is asked for, only the identity; an output that does not exist yet cannot be
    // the input. Backup semantics open a directory too, which is never the input.
    const HANDLE outHandle =
        CreateFileW(wideOut, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (outHandle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(outHandle, &output) != 0;
    CloseHandle(outHandle);
    return known && (output.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           sameFile(input, output);
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

bool isDataStream(std::FILE* in) {
    struct stat input {};
    return fstat(fileno(in), &input) == 0 && !S_ISDIR(input.st_mode);
}

bool isInputFile(std::FILE* in, const char* outPath) {
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
