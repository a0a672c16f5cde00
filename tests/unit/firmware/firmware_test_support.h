#pragma once

// Shared helpers of the firmware tests: a resource store the test fills,
// Intel HEX lines built independently of the code under test, and files.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "firmware/resource_store.h"

namespace firmware_test {

class TestResourceStore : public ResourceStore {
public:
    void addString(int id, std::string text) { strings_[id] = std::move(text); }
    // The data is kept by the store; returns the address the store hands out.
    const unsigned char* addBlob(std::string name, std::string type, std::string data) {
        blobs_.push_back({std::move(name), std::move(type), std::move(data)});
        return reinterpret_cast<const unsigned char*>(blobs_.back().data.data());
    }

    std::optional<std::string_view> string(int id) const override {
        const auto found = strings_.find(id);
        if (found == strings_.end()) {
            return std::nullopt;
        }
        return std::string_view(found->second);
    }
    std::size_t blobCount() const override { return blobs_.size(); }
    ResourceBlob blob(std::size_t index) const override {
        const Blob& blob = blobs_[index];
        return {blob.name, blob.type, reinterpret_cast<const unsigned char*>(blob.data.data()), blob.data.size()};
    }

private:
    struct Blob {
        std::string name;
        std::string type;
        std::string data;
    };
    std::map<int, std::string> strings_;
    // A deque never moves its elements, so handed-out addresses stay valid.
    std::deque<Blob> blobs_;
};

// The catalogue's string table as the program carries it.
inline const std::vector<std::pair<int, std::string>>& programStringTable() {
    static const std::vector<std::pair<int, std::string>> table = {
        {0, "V3.46"},
        {1, "T310 (DE, EN, FR)   German, English, French"},
        {2, "T310 (DE, EN, ES)   German, English, Spanish"},
        {3, "T310 (DE, EN, FI)    German, English, Finnish"},
        {4, "T310 (DE, EN, PL)   German, English, Polish"},
        {5, "T310 (DE, EN, RU)   German, English, Russian"},
        {6, "T320 (DE, EN, FR, ES, FI, PL, RU)"},
        {11, "T310_Fr_vXYY.a90"},
        {12, "T310_Es_vXYY.a90"},
        {13, "T310_Fi_vXYY.a90"},
        {14, "T310_Pl_vXYY.a90"},
        {15, "T310_Ru_vXYY.a90"},
        {16, "T320_vXYY.a90"},
    };
    return table;
}

// One Intel HEX line with its checksum, upper-case digits, no line end.
inline std::string hexLine(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
    std::uint32_t sum = static_cast<std::uint32_t>(data.size()) + type + (address >> 8) + (address & 0xFF);
    char field[16];
    std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                  static_cast<unsigned>(type));
    std::string line = field;
    for (std::uint8_t byte : data) {
        std::snprintf(field, sizeof field, "%02X", static_cast<unsigned>(byte));
        line += field;
        sum += byte;
    }
    std::snprintf(field, sizeof field, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + field;
}

inline const std::string kEndOfFile = ":00000001FF";

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// A path in the test's temporary folder, unique per test.
inline std::string tempPath(const std::string& name) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "t3xx_firmware_" + test->test_suite_name() + "_" + test->name() + "_" + name;
}

}  // namespace firmware_test
