// SPDX-License-Identifier: MIT
#ifndef MKSREC_STATUS_H
#define MKSREC_STATUS_H

namespace mksrec {

// How one step of the conversion went. The reader answers Ok, EndOfInput or ReadFailed; the
// whole conversion Done, or the step that stopped it: BadRecord when the run refused a
// record, ReadFailed, or WriteFailed when the writer took a block it could not write.
// Anything but Ok ends the run.
enum class Status { Ok, EndOfInput, Done, BadRecord, ReadFailed, WriteFailed };

} // namespace mksrec

#endif
