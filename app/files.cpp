#include "files.h"

#ifdef _WIN32

#include <filesystem>
#include <system_error>

// Windows keeps its standard handles apart from the files a program opens, and has no
// FIFOs or block devices to name twice: only a regular file can be the input.
bool openStandardDescriptors() {
    return true;
}

bool isInputFile(std::FILE*, const char* inPath, const char* outPath) {
    std::error_code ec;
    return std::filesystem::is_regular_file(outPath, ec) &&
           std::filesystem::equivalent(inPath, outPath, ec);
}

#else

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // open() takes the lowest free number, which is fd itself: every one below it is
        // open by now.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) {
            return false;
        }
    }
    return true;
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
