#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/devsim/fault_plan.h"

namespace vek::devsim {
namespace {

TEST(AnswerSelector, ParsesAndMatches) {
    const AnswerSelector page12 = AnswerSelector::parse("page:12");
    EXPECT_TRUE(page12.matches(RequestKind::Page, 12));
    EXPECT_FALSE(page12.matches(RequestKind::Page, 13));
    EXPECT_FALSE(page12.matches(RequestKind::Ping, 12));
    EXPECT_TRUE(AnswerSelector::parse("page").matches(RequestKind::Page, 400));
    EXPECT_TRUE(AnswerSelector::parse("any").matches(RequestKind::Restart, -1));
    EXPECT_TRUE(AnswerSelector::parse("enter").matches(RequestKind::EnterBootloader, -1));
    EXPECT_EQ(page12.toString(), "page:12");

    for (const char* bad : {"", "pages", "ping:3", "page:", "page:x", "page:-1", "other"}) {
        EXPECT_THROW(AnswerSelector::parse(bad), std::invalid_argument) << bad;
    }
}

TEST(FaultRuleText, SelectorValueAndTimes) {
    FaultRule rule = parseRule("page:3=7,2", true);
    EXPECT_EQ(rule.selector.kind, RequestKind::Page);
    EXPECT_EQ(rule.selector.page, 3);
    EXPECT_EQ(rule.value, 7);
    EXPECT_EQ(rule.times, 2);

    rule = parseRule("300", true);  // a bare value applies to every answer
    EXPECT_EQ(rule.selector.kind, RequestKind::Any);
    EXPECT_EQ(rule.value, 300);
    EXPECT_EQ(rule.times, -1);

    rule = parseRule("identify,1", false);
    EXPECT_EQ(rule.selector.kind, RequestKind::Identify);
    EXPECT_EQ(rule.times, 1);

    EXPECT_THROW(parseRule("identify=3", false), std::invalid_argument);
    EXPECT_THROW(parseRule("identify", true), std::invalid_argument);
    EXPECT_THROW(parseRule("ping=3,0", true), std::invalid_argument);
    EXPECT_THROW(parseRule("ping=3,", true), std::invalid_argument);
    try {
        parseRule("page:2=abc", true);
        FAIL();
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("page:2=abc"), std::string::npos);  // names the text
    }
}

TEST(FaultPlanRules, FireAsOftenAsPlanned) {
    FaultPlan plan;
    plan.errorAnswer("page:4=9,2").errorAnswer("any=1");
    EXPECT_EQ(plan.takeErrorAnswer(RequestKind::Page, 4), 9);
    EXPECT_EQ(plan.takeErrorAnswer(RequestKind::Page, 5), 1);  // first rule does not apply, second does
    EXPECT_EQ(plan.takeErrorAnswer(RequestKind::Page, 4), 9);
    EXPECT_EQ(plan.takeErrorAnswer(RequestKind::Page, 4), 1);  // first rule used up
    EXPECT_THROW(plan.errorAnswer("any=256"), std::invalid_argument);

    plan.failBlockTest("7,2").failBlockTest("8");
    EXPECT_TRUE(plan.takeBlockTestFailure(7));
    EXPECT_TRUE(plan.takeBlockTestFailure(7));
    EXPECT_FALSE(plan.takeBlockTestFailure(7));
    EXPECT_TRUE(plan.takeBlockTestFailure(8));
    EXPECT_FALSE(plan.takeBlockTestFailure(8));
    EXPECT_FALSE(plan.takeBlockTestFailure(9));

    plan.corruptCheck("restart");
    EXPECT_TRUE(plan.takeCorruptCheck(RequestKind::Restart, -1));
    EXPECT_TRUE(plan.takeCorruptCheck(RequestKind::Restart, -1));
    EXPECT_FALSE(plan.takeCorruptCheck(RequestKind::Ping, -1));

    EXPECT_THROW(plan.garbageBeforeAnswers(-1), std::invalid_argument);
    EXPECT_FALSE(plan.describe().empty());
    EXPECT_TRUE(FaultPlan().describe().empty());
}

}  // namespace
}  // namespace vek::devsim
