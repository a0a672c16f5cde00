#include "firmware/hex_buffer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "firmware_test_support.h"
#include "protocol/errors.h"

using firmware_test::hexLine;
using firmware_test::kEndOfFile;
using firmware_test::readFile;
using firmware_test::tempPath;
using firmware_test::writeFile;

namespace {

const std::string kMissingFields = "Wrong HEX file format, missing fields! Line from file was: (";
const std::string kNoColon = "Wrong HEX file format, does not start with colon! Line from file was: (";
const std::string kChecksum = "Wrong checksum for HEX record! Line from file was: (";
const std::string kUnsupported = "Unsupported HEX record format! Line from file was: (";
const std::string kOutside =
    "HEX file defines data outside buffer limits! Make sure file does not contain data outside device memory "
    "limits. Line from file was: (";
const std::string kLineTooLong = "Wrong HEX file format, line too long! Line from file was: (";
const std::string kPrematureEnd = "Premature end of file encountered! Make sure file contains an EOF-record.";

// The text of the ErrorMsg that f throws, or a marker when it throws none.
template <typename F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const ErrorMsg& error) {
        EXPECT_EQ(std::string(error.what()), error.text());
        return error.text();
    }
    return "<no error>";
}

std::string quoted(const std::string& prefix, const std::string& line) { return prefix + line + ")."; }

void readText(HexBuffer& buffer, const std::string& text) { buffer.readFromMemory(text.data(), text.size()); }

std::string lines(const std::vector<std::string>& records, const char* end = "\r\n") {
    std::string text;
    for (const std::string& record : records) {
        text += record + end;
    }
    return text;
}

std::vector<std::uint8_t> bytes(std::uint8_t first, std::size_t count) {
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i) {
        data[i] = static_cast<std::uint8_t>(first + i);
    }
    return data;
}

TEST(HexBufferConstruction, RejectsSizesBelowOneAndFillsNewBuffers) {
    EXPECT_EQ(errorOf([] { HexBuffer buffer(0, 0); }), "Cannot have zero-size HEX buffer!");
    EXPECT_EQ(errorOf([] { HexBuffer buffer(-5, 0); }), "Cannot have zero-size HEX buffer!");

    HexBuffer buffer(64, 0xA5);
    EXPECT_EQ(buffer.size(), 64);
    EXPECT_EQ(buffer.lowest(), 64);
    EXPECT_EQ(buffer.highest(), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(buffer.getByte(i), 0xA5);
    }
}

TEST(HexBufferHexToUInt, ConvertsUpToEightDigitsOfEitherCase) {
    EXPECT_EQ(HexBuffer::hexToUInt("FFFFFFFF"), 4294967295u);
    EXPECT_EQ(HexBuffer::hexToUInt("ab"), 0xABu);
    EXPECT_EQ(HexBuffer::hexToUInt("0"), 0u);
    EXPECT_EQ(errorOf([] { HexBuffer::hexToUInt(""); }), "Cannot convert zero-length hex-string to number!");
    EXPECT_EQ(errorOf([] { HexBuffer::hexToUInt("100000000"); }),
              "Hex conversion overflow! Too many hex digits in string.");
    for (const char* bad : {"1g", " 1", "-1", "+1", "1\n", "0x1"}) {
        EXPECT_EQ(errorOf([bad] { HexBuffer::hexToUInt(bad); }), "Invalid hex digit found!") << bad;
    }
}

TEST(HexBufferParseLine, ReadsFieldsAndIgnoresWhatFollowsTheChecksum) {
    HexRecord record;
    HexBuffer::parseLine(":04000000deadbeefc4 trailing text", record);
    EXPECT_EQ(record.count, 4);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(record.type, 0);
    EXPECT_EQ(record.data, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));

    // The End Of File record is the shortest valid line.
    HexBuffer::parseLine(kEndOfFile, record);
    EXPECT_EQ(record.type, 1);
    EXPECT_TRUE(record.data.empty());
}

TEST(HexBufferParseLine, QuotesTheOffendingLineWithItsLineEnd) {
    HexRecord record;
    auto parse = [&record](const std::string& line) { return errorOf([&] { HexBuffer::parseLine(line, record); }); };

    // Length is tested before the colon.
    EXPECT_EQ(parse(""), quoted(kMissingFields, ""));
    EXPECT_EQ(parse(":00000001F"), quoted(kMissingFields, ":00000001F"));
    EXPECT_EQ(parse("0123456789"), quoted(kMissingFields, "0123456789"));
    EXPECT_EQ(parse("X00000001FF\n"), quoted(kNoColon, "X00000001FF\n"));
    // A count larger than the data present.
    EXPECT_EQ(parse(":04000000010203\r\n"), quoted(kMissingFields, ":04000000010203\r\n"));
    // Last digit wrong: the checksum message, line feed included.
    EXPECT_EQ(parse(":0400000001020304F1\n"), quoted(kChecksum, ":0400000001020304F1\n"));
    // A record type is not judged here.
    EXPECT_EQ(parse(":020000060000F8\n"), "<no error>");
    // Bad digits in a field are a conversion error.
    EXPECT_EQ(parse(":0G00000001020304F2\n"), "Invalid hex digit found!");
}

TEST(HexBufferReadFromMemory, ReadsDataRecordsAndTracksTheUsedRange) {
    HexBuffer buffer(0x100, 0x00);
    readText(buffer, lines({hexLine(2, 0, {0, 0}), hexLine(0, 0x10, bytes(1, 16)), hexLine(0, 0x40, bytes(0x80, 4)),
                            kEndOfFile}));
    EXPECT_EQ(buffer.lowest(), 0x10);
    EXPECT_EQ(buffer.highest(), 0x43);
    EXPECT_EQ(buffer.getByte(0x0F), 0x00);
    EXPECT_EQ(buffer.getByte(0x10), 0x01);
    EXPECT_EQ(buffer.getByte(0x1F), 0x10);
    EXPECT_EQ(buffer.getByte(0x43), 0x83);
}

TEST(HexBufferReadFromMemory, EndsAtTheEndOfFileRecordAndNowhereElse) {
    HexBuffer buffer(0x100, 0x00);
    EXPECT_EQ(errorOf([&] { readText(buffer, ":00000001FF\n"); }), "<no error>");
    EXPECT_TRUE(buffer.usedRangeEmpty());

    // Lines after the End Of File record are never looked at.
    EXPECT_EQ(errorOf([&] { readText(buffer, ":00000001FF\nthis is no record\n:0400000001020304F1\n"); }),
              "<no error>");

    EXPECT_EQ(errorOf([&] { readText(buffer, ""); }), kPrematureEnd);
    EXPECT_EQ(errorOf([&] { readText(buffer, lines({hexLine(0, 0, bytes(1, 4))})); }), kPrematureEnd);
    EXPECT_EQ(errorOf([&] { buffer.readFromMemory(nullptr, 12); }), "Error opening HEX file for input!");
}

TEST(HexBufferReadFromMemory, ReportsUnsupportedTypesAfterTheChecksum) {
    HexBuffer buffer(0x100, 0x00);
    EXPECT_EQ(errorOf([&] { readText(buffer, ":020000060000F8\n:00000001FF\n"); }),
              quoted(kUnsupported, ":020000060000F8\n"));
    EXPECT_EQ(errorOf([&] { readText(buffer, ":020000060000F9\n:00000001FF\n"); }),
              quoted(kChecksum, ":020000060000F9\n"));
}

TEST(HexBufferReadFromMemory, StartAddressRecordsChangeNothing) {
    HexBuffer buffer(0x100, 0x00);
    readText(buffer, lines({hexLine(3, 0, {0x12, 0x34, 0x56, 0x78}), hexLine(5, 0, {0, 0, 1, 0}), kEndOfFile}));
    EXPECT_TRUE(buffer.usedRangeEmpty());
    EXPECT_EQ(buffer.lowest(), 0x100);
    EXPECT_EQ(buffer.highest(), 0);
}

TEST(HexBufferReadFromMemory, AddressRecordsReplaceTheBase) {
    HexBuffer buffer(0x20000, 0x00);
    // Segment 0x1000 (base 0x10000), then linear 0x0000: the base is 0 again,
    // not 0x10000.
    readText(buffer, lines({hexLine(2, 0, {0x10, 0x00}), hexLine(0, 0x20, {0xAA}), hexLine(4, 0, {0x00, 0x00}),
                            hexLine(0, 0x20, {0xBB}), kEndOfFile}));
    EXPECT_EQ(buffer.getByte(0x10020), 0xAA);
    EXPECT_EQ(buffer.getByte(0x00020), 0xBB);

    readText(buffer, lines({hexLine(4, 0, {0x00, 0x01}), hexLine(0, 0x30, {0xCC}), kEndOfFile}));
    EXPECT_EQ(buffer.getByte(0x10030), 0xCC);
}

TEST(HexBufferReadFromMemory, AddressRecordsNeedTwoDataBytes) {
    HexBuffer buffer(0x100, 0x00);
    for (std::uint8_t type : {2, 4}) {
        const std::string line = hexLine(type, 0, {0x10}) + "\n";
        EXPECT_EQ(errorOf([&] { readText(buffer, line + ":00000001FF\n"); }), quoted(kMissingFields, line));
    }
}

TEST(HexBufferReadFromMemory, AcceptsDataUpToTheLastAddressOnly) {
    HexBuffer buffer(0x100, 0x00);
    readText(buffer, lines({hexLine(0, 0xF0, bytes(1, 16)), kEndOfFile}));
    EXPECT_EQ(buffer.highest(), 0xFF);
    EXPECT_EQ(buffer.getByte(0xFF), 16);

    const std::string oneFurther = hexLine(0, 0xF1, bytes(1, 16)) + "\r\n";
    EXPECT_EQ(errorOf([&] { readText(buffer, oneFurther + ":00000001FF\r\n"); }), quoted(kOutside, oneFurther));

    // A base far above the buffer must not wrap around into it.
    const std::string farAway = hexLine(0, 0x0000, {1}) + "\n";
    EXPECT_EQ(errorOf([&] { readText(buffer, hexLine(4, 0, {0xFF, 0xFF}) + "\n" + farAway + ":00000001FF\n"); }),
              quoted(kOutside, farAway));
}

TEST(HexBufferReadFromMemory, KeepsWhatEarlierReadsLeftWhereTheTextDefinesNothing) {
    HexBuffer buffer(0x40, 0x00);
    readText(buffer, lines({hexLine(0, 0, bytes(0x10, 32)), kEndOfFile}));
    readText(buffer, lines({hexLine(0, 0, bytes(0x80, 16)), kEndOfFile}));
    EXPECT_EQ(buffer.getByte(0), 0x80);
    EXPECT_EQ(buffer.getByte(15), 0x8F);
    EXPECT_EQ(buffer.getByte(16), 0x20);  // the longer image's tail
    EXPECT_EQ(buffer.getByte(31), 0x2F);
    EXPECT_EQ(buffer.lowest(), 0);
    EXPECT_EQ(buffer.highest(), 15);

    // A failed read keeps the records before the failing line.
    const std::string bad = ":0400000001020304F1\n";
    EXPECT_EQ(errorOf([&] { readText(buffer, lines({hexLine(0, 0x20, {7, 8})}, "\n") + bad); }),
              quoted(kChecksum, bad));
    EXPECT_EQ(buffer.getByte(0x21), 8);
    EXPECT_EQ(buffer.lowest(), 0x20);
    EXPECT_EQ(buffer.highest(), 0x21);
}

TEST(HexBufferReadFromMemory, DataRecordWithoutBytesLeavesTheRangeAlone) {
    HexBuffer buffer(0x100, 0x00);
    readText(buffer, lines({hexLine(0, 0x10, {1, 2}), hexLine(0, 0x80, {}), kEndOfFile}));
    EXPECT_EQ(buffer.lowest(), 0x10);
    EXPECT_EQ(buffer.highest(), 0x11);
}

TEST(HexBufferReadFromMemory, ParsesALastLineWithoutLineFeed) {
    HexBuffer buffer(0x100, 0x00);
    EXPECT_EQ(errorOf([&] { readText(buffer, hexLine(0, 0, {1}) + "\n:00000001FF"); }), "<no error>");
    EXPECT_EQ(buffer.getByte(0), 1);
    // Without End Of File record it is still a premature end, after the data.
    EXPECT_EQ(errorOf([&] { readText(buffer, hexLine(0, 1, {2})); }), kPrematureEnd);
    EXPECT_EQ(buffer.getByte(1), 2);
}

TEST(HexBufferReadFromMemory, LinesUpTo199CharactersWithLineFeedFitTheWindow) {
    HexBuffer buffer(0x100, 0x00);
    // 93 data bytes: 197 characters, CR and LF.
    const std::string longest = hexLine(0, 0, bytes(0, 93)) + "\r\n";
    ASSERT_EQ(longest.size(), 199u);
    EXPECT_EQ(errorOf([&] { readText(buffer, longest + ":00000001FF\r\n"); }), "<no error>");
    EXPECT_EQ(buffer.highest(), 92);

    const std::string tooLong = hexLine(0, 0, bytes(0, 94)) + "\r\n";
    EXPECT_EQ(errorOf([&] { readText(buffer, tooLong + ":00000001FF\r\n"); }),
              quoted(kLineTooLong, tooLong.substr(0, 199)));
}

TEST(HexBufferReadFromFile, ReadsLikeTheMemoryReader) {
    const std::string path = tempPath("image.hex");
    writeFile(path, lines({hexLine(2, 0, {0x10, 0}), hexLine(0, 0x0008, {9, 8, 7}), kEndOfFile, "ignored"}));
    HexBuffer buffer(0x20000, 0x00);
    buffer.readFromFile(path);
    EXPECT_EQ(buffer.getByte(0x10008), 9);
    EXPECT_EQ(buffer.lowest(), 0x10008);
    EXPECT_EQ(buffer.highest(), 0x1000A);

    const std::string bad = ":0400000001020304F1\r\n";
    writeFile(path, bad + ":00000001FF\r\n");
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), quoted(kChecksum, bad));

    writeFile(path, lines({hexLine(0, 0, {1})}));
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), kPrematureEnd);
    writeFile(path, "");
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), kPrematureEnd);
    writeFile(path, hexLine(0, 0, {5}) + "\n:00000001FF");
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), "<no error>");
    EXPECT_EQ(buffer.getByte(0), 5);

    EXPECT_EQ(errorOf([&] { buffer.readFromFile(tempPath("missing.hex")); }), "Error opening HEX file for input!");
}

TEST(HexBufferReadFromFile, LinesUpTo299CharactersWithLineFeedFitTheBuffer) {
    const std::string path = tempPath("long.hex");
    HexBuffer buffer(0x200, 0x00);
    // 143 data bytes: 297 characters, CR and LF.
    const std::string longest = hexLine(0, 0, bytes(0, 143)) + "\r\n";
    ASSERT_EQ(longest.size(), 299u);
    writeFile(path, longest + ":00000001FF\r\n");
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), "<no error>");
    EXPECT_EQ(buffer.highest(), 142);

    const std::string tooLong = hexLine(0, 0, bytes(0, 144)) + "\r\n";
    writeFile(path, tooLong + ":00000001FF\r\n");
    EXPECT_EQ(errorOf([&] { buffer.readFromFile(path); }), quoted(kLineTooLong, tooLong.substr(0, 299)));
}

TEST(HexBufferWriteToFile, SplitsRecordsAtTheSegmentBoundary) {
    HexBuffer buffer(0x20000, 0x00);
    for (int i = 0; i < 17; ++i) {
        buffer.setByte(0x0FFF8 + i, static_cast<std::uint8_t>(i + 1));
    }
    buffer.setUsedRange(0x0FFF8, 0x0FFF8 + 16);
    const std::string path = tempPath("boundary.hex");
    buffer.writeToFile(path);
    EXPECT_EQ(readFile(path),
              ":020000020000FC\n"
              ":08FFF8000102030405060708DD\n"
              ":020000021000EC\n"
              ":09000000090A0B0C0D0E0F101182\n"
              ":00000001FF\n");
}

TEST(HexBufferWriteToFile, WritesAWholeImageIn16ByteRecords) {
    HexBuffer buffer(0x20000, 0x5A);
    buffer.setUsedRange(0, 0x1FFFF);
    const std::string path = tempPath("whole.hex");
    buffer.writeToFile(path);
    std::istringstream text(readFile(path));
    std::vector<std::string> all;
    for (std::string line; std::getline(text, line);) {
        all.push_back(line);
    }
    ASSERT_EQ(all.size(), 1u + 4096u + 1u + 4096u + 1u);
    EXPECT_EQ(all[0], ":020000020000FC");
    EXPECT_EQ(all[1], hexLine(0, 0, std::vector<std::uint8_t>(16, 0x5A)));
    EXPECT_EQ(all[4097], ":020000021000EC");
    EXPECT_EQ(all[8193], hexLine(0, 0xFFF0, std::vector<std::uint8_t>(16, 0x5A)));
    EXPECT_EQ(all.back(), kEndOfFile);
}

TEST(HexBufferWriteToFile, UsesLinearAddressRecordsAboveTheFirstMegabyte) {
    // Segment records cannot reach past 1 MiB; the image must still come back.
    HexBuffer buffer(0x110000, 0x00);
    for (int i = 0; i < 32; ++i) {
        buffer.setByte(0x0FFFF0 + i, static_cast<std::uint8_t>(0xC0 + i));
    }
    buffer.setUsedRange(0x0FFFF0, 0x10000F);
    const std::string path = tempPath("large.hex");
    buffer.writeToFile(path);
    EXPECT_EQ(readFile(path), ":02000002F0000C\n" + hexLine(0, 0xFFF0, bytes(0xC0, 16)) + "\n" +
                                  ":020000040010EA\n" + hexLine(0, 0x0000, bytes(0xD0, 16)) + "\n" + ":00000001FF\n");
    HexBuffer copy(0x110000, 0x00);
    copy.readFromFile(path);
    EXPECT_EQ(copy.getByte(0x100000), 0xD0);
    EXPECT_EQ(copy.lowest(), 0x0FFFF0);
    EXPECT_EQ(copy.highest(), 0x10000F);
}

TEST(HexBufferWriteToFile, EmptyRangeWritesNoDataRecord) {
    HexBuffer buffer(0x100, 0x00);
    const std::string path = tempPath("empty.hex");
    buffer.writeToFile(path);
    EXPECT_EQ(readFile(path), ":020000020000FC\n:00000001FF\n");
}

TEST(HexBufferWriteToFile, ReportsFilesThatCannotBeWritten) {
    HexBuffer buffer(0x100, 0x00);
    buffer.setUsedRange(0, 0x10);
    EXPECT_EQ(errorOf([&] { buffer.writeToFile(tempPath("no/such/folder.hex")); }),
              "Error opening HEX file for output!");
    // A full disk shows only when the buffered lines are flushed.
    EXPECT_EQ(errorOf([&] { buffer.writeToFile("/dev/full"); }), "Error writing HEX record to file!");
}

TEST(HexBufferRanges, CheckAddressesAndRanges) {
    HexBuffer buffer(0x100, 0x00);
    const std::string badRange =
        "Invalid range! Start must be 0 or larger, end must be inside allowed memory range.";
    EXPECT_EQ(errorOf([&] { buffer.setUsedRange(-1, 0x10); }), badRange);
    EXPECT_EQ(errorOf([&] { buffer.setUsedRange(0, 0x100); }), badRange);
    EXPECT_EQ(errorOf([&] { buffer.setUsedRange(0x20, 0x10); }), badRange);
    buffer.setUsedRange(0, 0xFF);
    EXPECT_EQ(buffer.lowest(), 0);
    EXPECT_EQ(buffer.highest(), 0xFF);

    for (int address : {-1, 0x100}) {
        EXPECT_EQ(errorOf([&] { buffer.setByte(address, 1); }), "Address outside legal range!");
        EXPECT_EQ(errorOf([&] { buffer.getByte(address); }), "Address outside legal range!");
    }
    buffer.setByte(0xFF, 0xFE);
    EXPECT_EQ(buffer.getByte(0xFF), 0xFE);
}

TEST(HexBufferAppend, CopiesTheOtherRangeAboveThisOne) {
    HexBuffer low(0x100, 0x00);
    low.setByte(0x10, 1);
    low.setUsedRange(0x10, 0x1F);
    HexBuffer high(0x100, 0x00);
    high.setByte(0x20, 2);
    high.setUsedRange(0x20, 0x2F);

    EXPECT_EQ(errorOf([&] { high.append(low); }), "Hexfile data collides with own data.");
    HexBuffer big(0x200, 0x00);
    big.setUsedRange(0x100, 0x10F);
    EXPECT_EQ(errorOf([&] { low.append(big); }), "Hexfile exceeds allowed range.");

    low.append(high);
    EXPECT_EQ(low.getByte(0x20), 2);
    EXPECT_EQ(low.lowest(), 0x10);
    EXPECT_EQ(low.highest(), 0x2F);
}

TEST(HexBufferAppend, EmptyRangesNeitherCollideNorWreckTheRange) {
    HexBuffer image(0x100, 0x00);
    image.setUsedRange(0x10, 0x1F);
    HexBuffer empty(0x100, 0x00);
    image.append(empty);
    EXPECT_EQ(image.lowest(), 0x10);
    EXPECT_EQ(image.highest(), 0x1F);

    HexBuffer fromZero(0x100, 0x00);
    fromZero.setByte(0, 7);
    fromZero.setUsedRange(0, 3);
    empty.append(fromZero);
    EXPECT_EQ(empty.getByte(0), 7);
    EXPECT_EQ(empty.lowest(), 0);
    EXPECT_EQ(empty.highest(), 3);
}

}  // namespace
