#include <gtest/gtest.h>

#include "protocol/errors.h"
#include "protocol/struct_packer.h"

namespace vek {
namespace {

TEST(StructPacker, BorrowedVectorAppendsOrClearsAndOutlivesThePacker) {
    ByteVector bytes{0xAA};
    {
        StructPacker packer(bytes, false);
        packer.putU8(0x1FF).putI8(-1).putU16(0x1234);
    }
    EXPECT_EQ(bytes, (ByteVector{0xAA, 0xFF, 0xFF, 0x34, 0x12}));
    {
        StructPacker packer(bytes, true);
        packer.putBytes(ByteVector{1, 2}).putBytes("\x03\x04", 2).putBytes(nullptr, 0);
    }
    EXPECT_EQ(bytes, (ByteVector{1, 2, 3, 4}));

    StructPacker owning;
    owning.putU8(9);
    EXPECT_EQ(owning.buffer(), ByteVector{9});
}

TEST(StructPacker, ByteOrderOfMultiByteFields) {
    StructPacker little;
    little.putU16(0x1234).putU32(0x12345678).putI16(-2).putI32(-2);
    EXPECT_EQ(little.buffer(), (ByteVector{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}));

    StructPacker big;
    big.setBigEndian(true);
    big.putU16(0x1234).putU32(0x12345678);
    EXPECT_EQ(big.buffer(), (ByteVector{0x12, 0x34, 0x12, 0x34, 0x56, 0x78}));

    for (bool bigEndian : {false, true}) {
        StructPacker out;
        out.setBigEndian(bigEndian);
        out.putU32(0x12345678).putI32(-123456);
        StructUnpacker in(out.buffer());
        in.setBigEndian(bigEndian);
        EXPECT_EQ(in.getU32(), 0x12345678u);
        EXPECT_EQ(in.getI32(), -123456);
    }
}

TEST(StructUnpacker, ReadsFieldsInOrder) {
    const ByteVector source{0x0A, 0x01, 0x2C, 0x00};
    StructUnpacker little(source);
    EXPECT_EQ(little.getU16(), 266);
    EXPECT_EQ(little.getU16(), 44);

    StructUnpacker big(source);
    big.setBigEndian(true);
    EXPECT_EQ(big.getU16(), 2561);
    EXPECT_EQ(big.getU16(), 11264);

    EXPECT_EQ(StructUnpacker({0xFE, 0xFF}).getI16(), -2);
    EXPECT_EQ(StructUnpacker({0xFE, 0xFF}).getU16(), 65534);
    EXPECT_EQ(StructUnpacker({0x80}).getI8(), -128);

    StructUnpacker bytes({1, 2, 3, 4, 5});
    EXPECT_TRUE(bytes.getBytes(0).empty());
    EXPECT_EQ(bytes.remaining(), 5u);
    EXPECT_EQ(bytes.getBytes(2), (ByteVector{1, 2}));
    std::uint8_t out[2] = {};
    EXPECT_EQ(bytes.getBytes(out, 2), out);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(bytes.getU8(), 5);
}

TEST(StructUnpacker, ShortPayloadThrowsAndConsumesNothing) {
    StructUnpacker in({1, 2, 3});
    EXPECT_THROW(in.getU32(), TgParseError);
    EXPECT_EQ(in.remaining(), 3u);
    EXPECT_THROW(in.getBytes(4), TgParseError);
    std::uint8_t out[4] = {};
    EXPECT_THROW(in.getBytes(out, 4), TgParseError);
    EXPECT_EQ(in.getU16(), 0x0201);
    EXPECT_THROW(in.getU16(), TgParseError);
    EXPECT_EQ(in.getU8(), 3);
    EXPECT_THROW(in.getU8(), TgParseError);
}

}  // namespace
}  // namespace vek
