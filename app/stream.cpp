// SPDX-License-Identifier: MIT
#include "stream.h"

#include <cerrno>

namespace mksrec {

bool Stream::open(const char* path, const char* mode) {
    std::FILE* opened = std::fopen(path, mode);
    if (opened == nullptr) {
        return false;
    }
    attach(opened, path);
    return true;
}

void Stream::attach(std::FILE* opened, const char* path) {
    file.reset(opened);
    name = path;
    std::setvbuf(opened, nullptr, _IONBF, 0);
}

int lastError() {
    return errno != 0 ? errno : EIO;
}

} // namespace mksrec
