// SPDX-License-Identifier: MIT
#ifndef MKSREC_MEMORY_H
#define MKSREC_MEMORY_H

#include <cstdlib>
#include <memory>

namespace mksrec {

// Blocks come from malloc(): with operator new, and with exceptions, which nothing here
// throws, the program would load the C++ runtime library, a third of a millisecond on every
// run, more than it takes to convert a 64 KiB image.
struct MemoryFreer {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Memory = std::unique_ptr<T[], MemoryFreer>;

} // namespace mksrec

#endif
