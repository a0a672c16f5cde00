// The resources compiled into the program: what the manifest says, the
// firmware files the build chose, and (without a real firmware folder) the
// layout of the generated stand-ins.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "firmware/embedded_resources.h"
#include "firmware/hex_buffer.h"
#include "firmware/program_firmware.h"
#include "embedded_blob_files.h"
#include "firmware_test_support.h"

using firmware_test::embeddedBlobFiles;
using firmware_test::hexLine;
using firmware_test::kEndOfFile;
using firmware_test::programStringTable;
using firmware_test::readFile;

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The embedded file behind a catalogue entry's resource name.
std::string fileOfEntry(int model, int index) {
    const std::string name = upper(programCatalogue().resourceName(model, index));
    for (const auto& [file, path] : embeddedBlobFiles()) {
        if (upper(file) == name) {
            return path;
        }
    }
    ADD_FAILURE() << "no embedded file for " << name;
    return "";
}

std::vector<std::uint8_t> imageOfFile(const std::string& path, std::int32_t size) {
    HexBuffer buffer(size, 0x00);
    buffer.readFromFile(path);
    return std::vector<std::uint8_t>(buffer.data(), buffer.data() + size);
}

class EmbeddedResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { programCatalogue().buildCatalogue(); }
};

TEST_F(EmbeddedResources, CarryTheProgramsStringTable) {
    const ResourceStore& store = embeddedResources();
    for (const auto& [id, text] : programStringTable()) {
        ASSERT_TRUE(store.string(id).has_value()) << id;
        EXPECT_EQ(*store.string(id), text);
    }
    for (int absent : {7, 8, 9, 10, 17}) {
        EXPECT_FALSE(store.string(absent).has_value()) << absent;
    }
    EXPECT_EQ(programCatalogue().versionStatus(), 1);
    EXPECT_EQ(programCatalogue().versionCode(), 346);
    EXPECT_EQ(programCatalogue().versionRevision(), 0);
    EXPECT_EQ(programCatalogue().entryCount(310), 5);
    EXPECT_EQ(programCatalogue().entryCount(320), 1);
}

TEST_F(EmbeddedResources, EveryEntryHoldsItsFileUnchanged) {
    for (int model : {310, 320}) {
        for (int index = 0; index < programCatalogue().entryCount(model); ++index) {
            const std::string file = readFile(fileOfEntry(model, index));
            const char* text = programCatalogue().firmwareText(model, index);
            ASSERT_NE(text, nullptr) << model << "/" << index;
            ASSERT_EQ(programCatalogue().resourceSize(text), static_cast<std::int32_t>(file.size()));
            EXPECT_EQ(std::memcmp(text, file.data(), file.size()), 0) << model << "/" << index;
        }
    }
}

TEST_F(EmbeddedResources, ResourceInfoFindsTheT320Text) {
    std::vector<std::string> log;
    programCatalogue().setReportHooks({[&log](const char* line) { log.emplace_back(line); }, nullptr});
    programCatalogue().showResourceInfo();
    programCatalogue().setReportHooks({});
    ASSERT_EQ(log.size(), 1u + 3u * 6u);
    EXPECT_EQ(log[0], "T320_vXYY.a90: size = " + std::to_string(readFile(fileOfEntry(320, 0)).size()) + "\n");
}

TEST_F(EmbeddedResources, ProgramImagesHandOutTheChosenVariantCompletely) {
    std::vector<std::string> reports;
    connectProgramFirmwareReports({[&reports](const char* line) { reports.emplace_back(line); },
                                   [&reports](const char* alert) { reports.emplace_back(alert); }});
    const auto french = programImages().firmwareBytes(310, 0);
    ASSERT_TRUE(french.has_value());
    EXPECT_EQ(french->size(), 131072u);
    EXPECT_EQ(*french, imageOfFile(fileOfEntry(310, 0), 0x20000));

    // Every T310 text defines the whole buffer: nothing of French is left.
    const auto finnish = programImages().firmwareBytes(310, 2);
    ASSERT_TRUE(finnish.has_value());
    EXPECT_EQ(*finnish, imageOfFile(fileOfEntry(310, 2), 0x20000));
    EXPECT_NE(*finnish, *french);

    const auto t320 = programImages().firmwareBytes(320, 0);
    ASSERT_TRUE(t320.has_value());
    EXPECT_EQ(t320->size(), 262144u);
    EXPECT_EQ(*t320, imageOfFile(fileOfEntry(320, 0), 0x40000));
    EXPECT_TRUE(reports.empty());

    EXPECT_FALSE(programImages().firmwareBytes(310, -1).has_value());
    EXPECT_EQ(reports, (std::vector<std::string>{"Internal error: Resource not found!\n",
                                                 "Internal error: Resource not found!"}));
    connectProgramFirmwareReports({});
}

// The exact text of a complete image in the layout of the device's firmware
// files, built here from the bytes.
std::string firmwareLayout(const std::vector<std::uint8_t>& image) {
    std::string text;
    for (std::size_t address = 0; address < image.size(); address += 16) {
        if (address % 0x10000 == 0) {
            text += hexLine(2, 0, {static_cast<std::uint8_t>(address >> 12), 0}) + "\r\n";
        }
        text += hexLine(0, static_cast<std::uint16_t>(address & 0xFFFF),
                        std::vector<std::uint8_t>(image.begin() + address, image.begin() + address + 16)) +
                "\r\n";
    }
    return text + kEndOfFile + "\r\n";
}

class StandInFirmware : public ::testing::Test {
protected:
    void SetUp() override {
        if (!T3XX_STANDIN_FIRMWARE) {
            GTEST_SKIP() << "the build embeds real firmware";
        }
    }
};

TEST_F(StandInFirmware, HasTheLayoutAndSizeOfTheRealFiles) {
    for (const auto& [file, path] : embeddedBlobFiles()) {
        const bool t320 = file.rfind("T320", 0) == 0;
        const std::string text = readFile(path);
        EXPECT_EQ(text.size(), t320 ? 737361u : 368687u) << file;
        EXPECT_EQ(text, firmwareLayout(imageOfFile(path, t320 ? 0x40000 : 0x20000))) << file;
    }
}

TEST_F(StandInFirmware, VariantsDifferAndContainRunsOfBlankPages) {
    std::set<std::vector<std::uint8_t>> images;
    for (const auto& [file, path] : embeddedBlobFiles()) {
        const std::vector<std::uint8_t> image = imageOfFile(path, file.rfind("T320", 0) == 0 ? 0x40000 : 0x20000);
        images.insert(image);
        std::size_t run = 0;
        std::size_t longestRun = 0;
        std::size_t blankPages = 0;
        for (std::size_t page = 0; page < image.size(); page += 256) {
            const bool blank = std::all_of(image.begin() + page, image.begin() + page + 256,
                                           [](std::uint8_t byte) { return byte == 0; });
            run = blank ? run + 1 : 0;
            blankPages += blank ? 1 : 0;
            longestRun = std::max(longestRun, run);
        }
        EXPECT_GE(longestRun, 3u) << file;
        EXPECT_LT(blankPages, image.size() / 256 / 4) << file << ": mostly real data";
    }
    EXPECT_EQ(images.size(), embeddedBlobFiles().size());
}

}  // namespace
