// SPDX-License-Identifier: MIT
// The driver called as main() would be, for what a shell cannot arrange.

#include "driver.h"

#include <gtest/gtest.h>

#include <string>

using namespace mksrec;

namespace {

// execve() allows an empty argument vector; the usage text then needs a name of its own
// rather than printing through a null pointer.
TEST(Driver, EmptyArgumentVectorGetsUsageWithDefaultName) {
    char* argv[] = {nullptr};
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(mksrecMain(0, argv), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Incorrect number of arguments.\n"
              "usage:  mksrec <#bytes/record> <start addr in hex> <infile> <outfile>\n"
              "Input file is raw binary data.  Output file will be S-record format.\n");
}

} // namespace
