// SPDX-License-Identifier: MIT
#ifndef MKSREC_STREAM_H
#define MKSREC_STREAM_H

#include <cstdio>
#include <memory>

namespace mksrec {

// One of the program's two files, with the name its messages give it. Unbuffered: the
// reader and the writer move whole blocks, and a second copy through the stream's own
// buffer would only cost time. Closed when it goes, if not before.
class Stream {
  public:
    // Binary mode both ways: the input is read exactly as stored, and the record supplies
    // its CR LF itself, which a text stream would write as CR CR LF where the C library
    // turns LF into CR LF (Windows). False when the file cannot be opened.
    bool open(const char* path, const char* mode);
    // Takes over `file`, called `path` in messages.
    void attach(std::FILE* opened, const char* path);

    std::FILE* get() const { return file.get(); }
    const char* path() const { return name; }
    explicit operator bool() const { return file != nullptr; }
    // fclose()'s result; the stream is gone either way.
    int close() { return std::fclose(file.release()); }
    void reset() { file.reset(); }

  private:
    struct Closer {
        void operator()(std::FILE* stream) const { std::fclose(stream); }
    };
    std::unique_ptr<std::FILE, Closer> file;
    const char* name = "";
};

// Why the call just made failed: errno, or EIO where the C library left it unset. The caller
// clears errno before that call, or a stale value from an earlier one would stand in.
int lastError();

} // namespace mksrec

#endif
