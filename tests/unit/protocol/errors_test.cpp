#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "protocol/errors.h"

namespace vek {
namespace {

TEST(DataErrors, WhatIsTheClassTextAndTheMessageTravelsApart) {
    const DataFormatException e("bad field", "line 3", 0);
    EXPECT_STREQ(e.what(), "Bad data format");
    EXPECT_EQ(e.message(), "bad field: line 3");
    EXPECT_EQ(e.fullText(), "Bad data format: bad field: line 3");
    EXPECT_EQ(DataFormatException("bad field", "", 0).message(), "bad field");

    const DataException d("x", 7);
    EXPECT_STREQ(d.what(), "Data error");
    EXPECT_EQ(d.code(), 7);

    const Exception codeOnly(42);
    EXPECT_EQ(codeOnly.message(), "");
    EXPECT_EQ(codeOnly.fullText(), "Exception");
}

TEST(DataErrors, AppendDetailAddsAColonOnlyBetweenTexts) {
    Exception e(1);
    e.appendDetail("");
    EXPECT_EQ(e.message(), "");
    e.appendDetail("first");
    EXPECT_EQ(e.message(), "first");
    e.appendDetail("");
    EXPECT_EQ(e.message(), "first");
    e.appendDetail("second");
    EXPECT_EQ(e.message(), "first: second");
    e.setMessage("new");
    EXPECT_EQ(e.message(), "new");
}

TEST(ComErrors, FixedTextsAndHierarchy) {
    EXPECT_STREQ(Timeout().what(), "Timeout");
    EXPECT_STREQ(CRCError().what(), "CRC error");
    EXPECT_STREQ(WrongAnswer(127, 0x40).what(), "Wrong answer");
    EXPECT_STREQ(NoConnection().what(), "No connection");
    EXPECT_STREQ(WriteError().what(), "Write error");
    EXPECT_STREQ(ErrorObject(5).what(), "Protocol error");
    EXPECT_STREQ(TgParseError().what(), "Telegram parse error");

    static_assert(std::is_base_of_v<std::runtime_error, ComError>);
    static_assert(std::is_base_of_v<ComError, ErrorObject> && std::is_base_of_v<ComError, TgParseError>);
    bool caught = false;
    try {
        throw Timeout();
    } catch (const ComError& e) {
        caught = std::string(e.what()) == "Timeout";
    }
    EXPECT_TRUE(caught);

    const WrongAnswer wrong(200, 0x40);
    EXPECT_EQ(wrong.command, 200);
    EXPECT_EQ(wrong.flagBits, 0x40);
    // Device codes above 127 stay unsigned.
    EXPECT_EQ(static_cast<int>(ErrorObject(200).deviceCode), 200);
}

TEST(ErrorMsgTest, TextIsTheMessage) {
    const ErrorMsg e("Cannot open file");
    EXPECT_STREQ(e.what(), "Cannot open file");
    EXPECT_EQ(e.text(), "Cannot open file");
}

}  // namespace
}  // namespace vek
