// SPDX-License-Identifier: MIT
#ifndef MKSREC_DRIVER_H
#define MKSREC_DRIVER_H

namespace mksrec {

// The whole program behind main(): converts argv[3], a raw binary image, into the S-record
// file argv[4], with argv[1] data bytes per record from the address argv[2] (hexadecimal).
// Returns 0 on success and -1 on any failure, whose reason is on standard error by then.
// Holds no state between calls.
int mksrecMain(int argc, char* argv[]);

} // namespace mksrec

#endif
