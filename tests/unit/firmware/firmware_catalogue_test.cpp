#include "firmware/firmware_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "firmware/msw_resource_handler.h"
#include "firmware_test_support.h"

using firmware_test::programStringTable;
using firmware_test::TestResourceStore;

namespace {

// The program's string table with a small text for each resource name.
class FirmwareCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [id, text] : programStringTable()) {
            store.addString(id, text);
        }
        for (const char* name : {"T310_ES_VXYY.A90", "T310_FI_VXYY.A90", "T310_FR_VXYY.A90", "T310_PL_VXYY.A90",
                                 "T310_RU_VXYY.A90", "T320_VXYY.A90"}) {
            texts[name] = store.addBlob(name, "HEXFILE", std::string("text of ") + name);
        }
    }

    std::vector<std::string> descriptions(const FirmwareCatalogue& catalogue, int model) {
        std::vector<std::string> all;
        for (int i = 0; const char* text = catalogue.firmwareDescription(model, i); ++i) {
            all.emplace_back(text);
        }
        return all;
    }

    TestResourceStore store;
    std::map<std::string, const unsigned char*> texts;
};

TEST_F(FirmwareCatalogueTest, ListsTheProgramsEntriesPerModelInTableOrder) {
    FirmwareCatalogue catalogue(store);
    catalogue.buildCatalogue();
    EXPECT_EQ(descriptions(catalogue, 310), (std::vector<std::string>{
                                                "T310 (DE, EN, FR)   German, English, French",
                                                "T310 (DE, EN, ES)   German, English, Spanish",
                                                "T310 (DE, EN, FI)    German, English, Finnish",
                                                "T310 (DE, EN, PL)   German, English, Polish",
                                                "T310 (DE, EN, RU)   German, English, Russian",
                                            }));
    EXPECT_EQ(descriptions(catalogue, 320), std::vector<std::string>{"T320 (DE, EN, FR, ES, FI, PL, RU)"});
    EXPECT_EQ(catalogue.firmwareDescription(310, 5), nullptr);
    EXPECT_EQ(catalogue.firmwareDescription(320, 1), nullptr);
    EXPECT_EQ(catalogue.firmwareDescription(320, -1), nullptr);
    EXPECT_EQ(catalogue.firmwareDescription(999, 0), nullptr);
    EXPECT_EQ(catalogue.entryCount(999), 0);

    // Names from the table find the resources whatever their case.
    EXPECT_STREQ(catalogue.resourceName(310, 0), "T310_Fr_vXYY.a90");
    EXPECT_EQ(catalogue.firmwareText(310, 0), reinterpret_cast<const char*>(texts["T310_FR_VXYY.A90"]));
    EXPECT_EQ(catalogue.firmwareText(310, 4), reinterpret_cast<const char*>(texts["T310_RU_VXYY.A90"]));
    EXPECT_EQ(catalogue.firmwareText(320, 0), reinterpret_cast<const char*>(texts["T320_VXYY.A90"]));
    EXPECT_EQ(catalogue.resourceSize(catalogue.firmwareText(320, 0)),
              static_cast<std::int32_t>(std::string("text of T320_VXYY.A90").size()));
    EXPECT_EQ(catalogue.firmwareText(310, 5), nullptr);
    EXPECT_EQ(catalogue.firmwareText(310, -1), nullptr);
    EXPECT_EQ(catalogue.firmwareText(330, 0), nullptr);
}

TEST_F(FirmwareCatalogueTest, ReadsTheVersionInBothFormsAndRejectsOthers) {
    struct Case {
        const char* text;  // null: id 0 absent
        int code;
        int revision;
        int status;
    };
    const Case cases[] = {
        {"V3.46", 346, 0, 1},   {"V3.46r2", 346, 2, 1},   {"V3.46 beta", 346, 0, 1}, {"V3.46r", 346, 0, 1},
        {"3.46", 0, 0, -1},     {"V3", 0, 0, -1},         {"v3.46", 0, 0, -1},       {"V99999999999.1", 0, 0, -1},
        {nullptr, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TestResourceStore versionStore;
        if (c.text != nullptr) {
            versionStore.addString(0, c.text);
        }
        FirmwareCatalogue catalogue(versionStore);
        EXPECT_EQ(catalogue.versionStatus(), -1) << "before building";
        catalogue.buildCatalogue();
        const std::string label = c.text ? c.text : "(absent)";
        EXPECT_EQ(catalogue.versionCode(), c.code) << label;
        EXPECT_EQ(catalogue.versionRevision(), c.revision) << label;
        EXPECT_EQ(catalogue.versionStatus(), c.status) << label;
    }
}

TEST_F(FirmwareCatalogueTest, EntriesEndAtTheFirstGapAndSkipOtherModels) {
    TestResourceStore gapStore;
    gapStore.addString(1, "T310 one");
    gapStore.addString(11, "one");
    gapStore.addString(2, "for the T9000");  // names neither model
    gapStore.addString(12, "skipped");
    const unsigned char* skipped = gapStore.addBlob("skipped", "Hexfile", "data");
    gapStore.addString(3, "T320 and T310");  // both: the T310 list wins
    gapStore.addString(13, "both");
    gapStore.addString(5, "T320 after the gap");
    gapStore.addString(15, "late");

    FirmwareCatalogue catalogue(gapStore);
    catalogue.buildCatalogue();
    EXPECT_EQ(descriptions(catalogue, 310), (std::vector<std::string>{"T310 one", "T320 and T310"}));
    EXPECT_TRUE(descriptions(catalogue, 320).empty());
    // The skipped entry's resource was never looked up.
    EXPECT_EQ(catalogue.resourceSize(skipped), 0);
    // Listed entries whose resource is missing carry no text.
    EXPECT_EQ(catalogue.firmwareText(310, 0), nullptr);
}

TEST_F(FirmwareCatalogueTest, EntryWithoutResourceNameIsListedWithoutText) {
    TestResourceStore namelessStore;
    namelessStore.addString(1, "T310 nameless");
    FirmwareCatalogue catalogue(namelessStore);
    catalogue.buildCatalogue();
    EXPECT_STREQ(catalogue.firmwareDescription(310, 0), "T310 nameless");
    EXPECT_STREQ(catalogue.resourceName(310, 0), "");
    EXPECT_EQ(catalogue.firmwareText(310, 0), nullptr);
}

TEST_F(FirmwareCatalogueTest, ResourceInfoListsProbesAndEntries) {
    FirmwareCatalogue catalogue(store);
    std::vector<std::string> log;
    catalogue.setReportHooks({[&log](const char* line) { log.emplace_back(line); }, nullptr});
    catalogue.showResourceInfo();  // before building: only the probes
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "T320_vXYY.a90: size = 21\n");

    log.clear();
    store.addString(7, "T320 missing");
    store.addString(17, "T320_missing.a90");
    catalogue.buildCatalogue();
    catalogue.showResourceInfo();
    ASSERT_EQ(log.size(), 1u + 3u * 7u);
    EXPECT_EQ(log[1], "1: T310 (DE, EN, FR)   German, English, French\n");
    EXPECT_EQ(log[2], "1: T310_Fr_vXYY.a90\n");
    char pointer[64];
    std::snprintf(pointer, sizeof pointer, "1: %p\n", static_cast<const void*>(texts["T310_FR_VXYY.A90"]));
    EXPECT_EQ(log[3], pointer);
    EXPECT_EQ(log[14], "5: T310_Ru_vXYY.a90\n");
    EXPECT_EQ(log[16], "1: T320 (DE, EN, FR, ES, FI, PL, RU)\n");
    EXPECT_EQ(log[19], "2: T320 missing\n");
    std::snprintf(pointer, sizeof pointer, "2: %p\n", static_cast<const void*>(nullptr));
    EXPECT_EQ(log[21], pointer);

    // Without a log hook nothing is written, and nothing breaks.
    catalogue.setReportHooks({});
    catalogue.showResourceInfo();
}

TEST(MSWResourceHandler, RemembersSizesOfHandedOutResources) {
    TestResourceStore store;
    const unsigned char* text = store.addBlob("Name.A90", "HEXFILE", "12345");
    MSWResourceHandler handler(store);
    EXPECT_EQ(handler.resourceSize(text), 0) << "not handed out yet";
    EXPECT_EQ(handler.loadResource("name.a90", "Hexfile"), text);
    EXPECT_EQ(handler.resourceSize(text), 5);
    EXPECT_EQ(handler.loadResource("name.a90", "Binfile"), nullptr);
    EXPECT_EQ(handler.loadResource("other.a90", "Hexfile"), nullptr);
    EXPECT_EQ(handler.loadResource(nullptr, "Hexfile"), nullptr);
    EXPECT_EQ(handler.resourceSize(nullptr), 0);
    EXPECT_EQ(handler.resourceSize(text + 1), 0);
}

TEST(MSWResourceHandler, CopiesStringsAndTreatsEmptyOnesAsAbsent) {
    TestResourceStore store;
    store.addString(1, "text");
    store.addString(2, "");
    store.addString(3, std::string(5000, 'x'));
    MSWResourceHandler handler(store);
    EXPECT_STREQ(handler.loadString(1).get(), "text");
    EXPECT_EQ(handler.loadString(2), nullptr);
    EXPECT_EQ(handler.loadString(4), nullptr);
    EXPECT_EQ(std::string(handler.loadString(3).get()), std::string(4097, 'x'));
}

}  // namespace
