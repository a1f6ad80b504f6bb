// SPDX-License-Identifier: MIT
// mksrec: converts a raw binary memory image into Motorola S-records, one S2 line per chunk
// of input at consecutive 24-bit addresses, closed by an S8 line.

#include "driver.h"

int main(int argc, char* argv[]) {
    return mksrec::mksrecMain(argc, argv);
}
