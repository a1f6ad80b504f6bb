// SPDX-License-Identifier: MIT
// mksrec: converts a raw binary memory image into a Motorola S-record file; the whole
// program is mksrecMain() (driver.h).

#include "driver.h"

int main(int argc, char* argv[]) {
    return mksrec::mksrecMain(argc, argv);
}
