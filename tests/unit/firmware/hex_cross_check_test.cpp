// Intel HEX as other tools see it: the embedded firmware texts and the
// files HexBuffer writes are read by two independent readers (srec_cat from
// srecord, and python3's intelhex module), and a file written by intelhex
// is read by HexBuffer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "firmware/hex_buffer.h"
#include "embedded_blob_files.h"
#include "firmware_test_support.h"

using firmware_test::embeddedBlobFiles;
using firmware_test::readFile;
using firmware_test::tempPath;
using firmware_test::writeFile;

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a shell command; on failure the test fails with its error output.
bool run(const std::string& command) {
    const std::string errors = tempPath("command.err");
    const int status = std::system((command + " 2>" + shellQuoted(errors)).c_str());
    if (status != 0) {
        ADD_FAILURE() << command << "\nfailed with status " << status << ":\n" << readFile(errors);
        return false;
    }
    return true;
}

// The bytes 0 to size - 1 that srec_cat reads from a HEX file, gaps as 0x00.
std::vector<std::uint8_t> srecCatImage(const std::string& hexPath, std::int32_t size) {
    const std::string binary = tempPath("srec_cat.bin");
    if (!run(std::string(T3XX_SREC_CAT) + " " + shellQuoted(hexPath) + " -Intel -fill 0x00 0 " +
             std::to_string(size) + " -o " + shellQuoted(binary) + " -Binary")) {
        return {};
    }
    const std::string bytes = readFile(binary);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The same through python3's intelhex; also checks the used range it sees.
std::vector<std::uint8_t> intelHexImage(const std::string& hexPath, std::int32_t size, std::int32_t lowest,
                                        std::int32_t highest) {
    const std::string binary = tempPath("intelhex.bin");
    const std::string script =
        "import sys, intelhex\n"
        "ih = intelhex.IntelHex(sys.argv[1])\n"
        "ih.padding = 0\n"
        "if (ih.minaddr(), ih.maxaddr()) != (int(sys.argv[3]), int(sys.argv[4])):\n"
        "    sys.exit('used range %r' % ((ih.minaddr(), ih.maxaddr()),))\n"
        "open(sys.argv[5], 'wb').write(ih.tobinstr(start=0, size=int(sys.argv[2])))\n";
    if (!run(std::string(T3XX_PYTHON_INTELHEX) + " -c " + shellQuoted(script) + " " + shellQuoted(hexPath) + " " +
             std::to_string(size) + " " + std::to_string(lowest) + " " + std::to_string(highest) + " " +
             shellQuoted(binary))) {
        return {};
    }
    const std::string bytes = readFile(binary);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> bytesOf(const HexBuffer& buffer) {
    return std::vector<std::uint8_t>(buffer.data(), buffer.data() + buffer.size());
}

class HexCrossCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STRNE(T3XX_SREC_CAT, "") << "srec_cat not found: install the Debian package srecord";
        ASSERT_STRNE(T3XX_PYTHON_INTELHEX, "")
            << "no python3 with the intelhex module: install the Debian package python3-intelhex";
    }
};

TEST_F(HexCrossCheck, EmbeddedTextsReadTheSameEverywhere) {
    for (const auto& [file, path] : embeddedBlobFiles()) {
        const std::int32_t size = file.rfind("T320", 0) == 0 ? 0x40000 : 0x20000;
        const std::string text = readFile(path);
        HexBuffer buffer(size, 0x00);
        buffer.readFromMemory(text.data(), text.size());
        EXPECT_EQ(buffer.lowest(), 0) << file;
        EXPECT_EQ(buffer.highest(), size - 1) << file;
        EXPECT_EQ(srecCatImage(path, size), bytesOf(buffer)) << file;
        EXPECT_EQ(intelHexImage(path, size, 0, size - 1), bytesOf(buffer)) << file;
    }
}

TEST_F(HexCrossCheck, WrittenFilesReadBackTheSameEverywhere) {
    // Round trip of a full image: text -> memory reader -> file -> file reader.
    const auto files = embeddedBlobFiles();
    ASSERT_FALSE(files.empty());
    const std::string text = readFile(files.begin()->second);
    HexBuffer original(0x40000, 0x00);
    original.readFromMemory(text.data(), text.size());
    const std::string written = tempPath("written.hex");
    original.writeToFile(written);
    HexBuffer copy(0x40000, 0x00);
    copy.readFromFile(written);
    EXPECT_EQ(copy.lowest(), original.lowest());
    EXPECT_EQ(copy.highest(), original.highest());
    EXPECT_EQ(bytesOf(copy), bytesOf(original)) << "round trip";
    EXPECT_EQ(srecCatImage(written, 0x40000), bytesOf(original));
    EXPECT_EQ(intelHexImage(written, 0x40000, original.lowest(), original.highest()), bytesOf(original));

    // A range across a segment boundary, and one above the first MiB.
    for (const auto& [first, last, size] : {std::tuple{0x0FFF8, 0x10008, 0x20000},
                                            std::tuple{0x0FFFF3, 0x100021, 0x110000}}) {
        HexBuffer part(size, 0x00);
        for (int address = first; address <= last; ++address) {
            part.setByte(address, static_cast<std::uint8_t>(address * 7 + 1));
        }
        part.setUsedRange(first, last);
        part.writeToFile(written);
        EXPECT_EQ(srecCatImage(written, size), bytesOf(part)) << first;
        EXPECT_EQ(intelHexImage(written, size, first, last), bytesOf(part)) << first;
    }
}

TEST_F(HexCrossCheck, ReadsWhatIntelHexWrites) {
    // 32-byte records and type 04 records, unlike anything written here.
    const std::string path = tempPath("from_intelhex.hex");
    const std::string script =
        "import sys, intelhex\n"
        "ih = intelhex.IntelHex()\n"
        "for a in range(0xFF00, 0x10100): ih[a] = (a * 13 + 5) & 0xFF\n"
        "ih.write_hex_file(sys.argv[1], byte_count=32)\n";
    ASSERT_TRUE(run(std::string(T3XX_PYTHON_INTELHEX) + " -c " + shellQuoted(script) + " " + shellQuoted(path)));
    HexBuffer buffer(0x20000, 0x00);
    buffer.readFromFile(path);
    EXPECT_EQ(buffer.lowest(), 0xFF00);
    EXPECT_EQ(buffer.highest(), 0x100FF);
    for (int address = 0xFF00; address < 0x10100; ++address) {
        ASSERT_EQ(buffer.getByte(address), (address * 13 + 5) & 0xFF) << address;
    }
}

}  // namespace
