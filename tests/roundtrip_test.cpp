// SPDX-License-Identifier: MIT
// Converts random images and reads them back with binutils, an S-record reader written
// independently of this one, which also verifies every checksum.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<char> slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class RoundTrip : public testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "needs a POSIX shell and binutils: round trip not checked";
#endif
        if (std::system("command -v objcopy >/dev/null && command -v objdump >/dev/null") != 0) {
            GTEST_SKIP() << "objcopy or objdump not found: round trip not checked";
        }
        std::random_device random;
        dir = (std::filesystem::temp_directory_path() /
               ("mksrec-roundtrip-" + std::to_string(random())))
                  .string();
        ASSERT_TRUE(std::filesystem::create_directory(dir)) << dir;
    }
    void TearDown() override {
        if (!dir.empty()) {
            std::filesystem::remove_all(dir);
        }
    }
    // The standard output of a shell command.
    std::string run(const std::string& command) const {
        const std::string output = dir + "/output";
        EXPECT_EQ(std::system((command + " >" + output).c_str()), 0) << command;
        const std::vector<char> text = slurp(output);
        return {text.begin(), text.end()};
    }
    std::string dir;
};

TEST_F(RoundTrip, RandomImagesReadBackAtTheirAddress) {
    std::mt19937 random(2026);
    const struct {
        std::size_t size;
        int bytesPerRecord;
        unsigned address;
    } cases[] = {
        {1, 16, 0},          {15, 16, 0x8000},        {16, 16, 0xFFFFF0},  {17, 16, 0x10},
        {1000, 7, 0xABCDE},  {1000, 1, 0x100},        {4096, 13, 0x7FFFF}, {65539, 16, 0x123456},
        {300000, 11, 0x200}, {1048576, 16, 0xF00000}, {100, 16, 0xFFFF9C},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, " + std::to_string(c.bytesPerRecord) +
                     " per record at " + std::to_string(c.address));
        std::vector<char> image(c.size);
        for (char& byte : image) {
            byte = static_cast<char>(random());
        }
        const std::string in = dir + "/in.bin", out = dir + "/out.srec", back = dir + "/back.bin";
        std::ofstream(in, std::ios::binary).write(image.data(), static_cast<long>(image.size()));

        std::ostringstream convert, readBack;
        convert << MKSREC_PATH << ' ' << c.bytesPerRecord << ' ' << std::hex << c.address << ' '
                << in << ' ' << out << " >/dev/null";
        ASSERT_EQ(std::system(convert.str().c_str()), 0);
        readBack << "objcopy -I srec -O binary " << out << ' ' << back;
        ASSERT_EQ(std::system(readBack.str().c_str()), 0);
        EXPECT_TRUE(slurp(back) == image);

        // One section, as the records are contiguous, at the start address.
        const std::string sections = run("objdump -h " + out);
        const std::size_t at = sections.find(".sec1");
        ASSERT_NE(at, std::string::npos) << sections;
        std::istringstream fields(sections.substr(at + 5));
        unsigned size = 0, vma = 0;
        ASSERT_TRUE(fields >> std::hex >> size >> vma) << sections;
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(vma, c.address);
        EXPECT_EQ(sections.find(".sec2"), std::string::npos) << sections;
    }
}

} // namespace
