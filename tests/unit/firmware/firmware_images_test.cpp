#include "firmware/firmware_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware_test_support.h"

using firmware_test::hexLine;
using firmware_test::kEndOfFile;
using firmware_test::TestResourceStore;

namespace {

std::string text(const std::vector<std::string>& records) {
    std::string all;
    for (const std::string& record : records) {
        all += record + "\r\n";
    }
    return all;
}

class FirmwareImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.addString(0, "V1.00");
        store.addString(1, "T310 long");
        store.addString(11, "long.a90");
        store.addBlob("LONG.A90", "HEXFILE",
                      text({hexLine(0, 0, std::vector<std::uint8_t>(16, 0x11)), hexLine(2, 0, {0x1F, 0xFF}),
                            hexLine(0, 0x000F, {0x99}), kEndOfFile}));
        store.addString(2, "T310 short");
        store.addString(12, "short.a90");
        store.addBlob("SHORT.A90", "HEXFILE", text({hexLine(0, 0, std::vector<std::uint8_t>(8, 0x22)), kEndOfFile}));
        store.addString(3, "T310 broken");
        store.addString(13, "broken.a90");
        store.addBlob("BROKEN.A90", "HEXFILE", ":0400000001020304F1\r\n:00000001FF\r\n");
        store.addString(4, "T310 missing");
        store.addString(14, "missing.a90");
        store.addString(5, "T320 top");
        store.addString(15, "top.a90");
        store.addBlob("TOP.A90", "HEXFILE", text({hexLine(4, 0, {0x00, 0x03}), hexLine(0, 0xFFFF, {0x33}), kEndOfFile}));
        catalogue.buildCatalogue();
        images.setReportHooks({[this](const char* line) { log.emplace_back(line); },
                               [this](const char* alert) { alerts.emplace_back(alert); }});
    }

    TestResourceStore store;
    FirmwareCatalogue catalogue{store};
    FirmwareImages images{catalogue};
    std::vector<std::string> log;
    std::vector<std::string> alerts;
};

TEST_F(FirmwareImagesTest, HandsOutTheWholeBufferOfTheModel) {
    const auto t310 = images.firmwareBytes(310, 0);
    ASSERT_TRUE(t310.has_value());
    ASSERT_EQ(t310->size(), 131072u);
    EXPECT_EQ((*t310)[0], 0x11);
    EXPECT_EQ((*t310)[15], 0x11);
    EXPECT_EQ((*t310)[16], 0x00);
    EXPECT_EQ((*t310)[0x1FFFF], 0x99);

    const auto t320 = images.firmwareBytes(320, 0);
    ASSERT_TRUE(t320.has_value());
    ASSERT_EQ(t320->size(), 262144u);
    EXPECT_EQ((*t320)[0x3FFFF], 0x33);
    EXPECT_EQ((*t320)[0], 0x00);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FirmwareImagesTest, AShorterTextLeavesTheEarlierImagesRest) {
    ASSERT_TRUE(images.firmwareBytes(310, 0).has_value());
    const auto bytes = images.firmwareBytes(310, 1);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ((*bytes)[7], 0x22);
    EXPECT_EQ((*bytes)[8], 0x11);
    EXPECT_EQ((*bytes)[0x1FFFF], 0x99);
    EXPECT_EQ(images.firmwareImage(310, 1)->highest(), 7);
}

TEST_F(FirmwareImagesTest, EveryFailureIsReportedAsAMissingResource) {
    const std::pair<int, int> failing[] = {
        {310, -1},  // nothing chosen
        {310, 5},   // beyond the list
        {999, 0},   // no such model
        {320, 1},   // beyond the list
        {310, 2},   // malformed text
        {310, 3},   // resource not in the store
    };
    for (const auto& [model, index] : failing) {
        log.clear();
        alerts.clear();
        EXPECT_FALSE(images.firmwareBytes(model, index).has_value()) << model << "/" << index;
        EXPECT_EQ(log, std::vector<std::string>{"Internal error: Resource not found!\n"});
        EXPECT_EQ(alerts, std::vector<std::string>{"Internal error: Resource not found!"});
        EXPECT_EQ(images.firmwareImage(model, index), nullptr);
    }
    // The buffers stay usable.
    EXPECT_TRUE(images.firmwareBytes(310, 0).has_value());
    // Without hooks a failure goes unreported, and nothing breaks.
    images.setReportHooks({});
    EXPECT_FALSE(images.firmwareBytes(310, -1).has_value());
}

}  // namespace
