// t3xx-hexgen: writes a deterministic stand-in firmware image as Intel HEX
// text, for builds that are not given the device's real firmware.
//
//   t3xx-hexgen --size 131072 --seed 3 --label "T310 FR" --output T310_FR_VXYY.A90
//
// The text has the layout of the real firmware files: a type 02 record for
// segment 0 first, 16-byte data records in ascending order covering every
// address, a type 02 record at each 64 KiB boundary, the End Of File record,
// and CR LF after every line. Page 0 starts with a readable label; the rest
// is pseudo-random from the seed, except for a few runs of all-zero 256-byte
// pages (among them runs of three and more), which the update run sends in
// short form.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kPageSize = 256;
constexpr std::uint32_t kRecordSize = 16;
constexpr std::uint32_t kSegmentSize = 0x10000;
// Type 02 records reach the first MiB only.
constexpr std::uint32_t kMaxSize = 0x100000;
constexpr std::uint32_t kMinPages = 64;

std::uint64_t splitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::uint8_t> makeImage(std::uint32_t size, std::uint64_t seed, const std::string& label) {
    std::vector<std::uint8_t> image(size);
    std::uint64_t state = seed;
    for (std::uint32_t i = 0; i < size; i += 8) {
        const std::uint64_t value = splitMix64(state);
        for (std::uint32_t k = 0; k < 8 && i + k < size; ++k) {
            image[i + k] = static_cast<std::uint8_t>(value >> (8 * k));
        }
    }
    const std::string text = "T3XX STAND-IN FIRMWARE " + label;
    for (std::size_t i = 0; i < text.size() && i < kPageSize; ++i) {
        image[i] = static_cast<std::uint8_t>(text[i]);
    }
    const std::uint32_t pages = size / kPageSize;
    auto zeroPages = [&](std::uint32_t first, std::uint32_t count) {
        for (std::uint32_t p = first; p < first + count && p < pages; ++p) {
            std::fill_n(image.begin() + p * kPageSize, kPageSize, 0x00);
        }
    };
    zeroPages(4, 4);                 // a run of four
    zeroPages(12, 1);                // a single blank page
    zeroPages(20 + seed % 16, 3);    // a run of three, placed per variant
    zeroPages(pages - 8, 8);         // unused flash at the end
    return image;
}

void writeRecord(std::FILE* out, std::uint32_t address, std::uint8_t type, const std::uint8_t* data,
                 std::uint32_t count) {
    std::uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
    std::fprintf(out, ":%02X%04X%02X", static_cast<unsigned>(count), static_cast<unsigned>(address),
                 static_cast<unsigned>(type));
    for (std::uint32_t i = 0; i < count; ++i) {
        std::fprintf(out, "%02X", static_cast<unsigned>(data[i]));
        sum += data[i];
    }
    std::fprintf(out, "%02X\r\n", static_cast<unsigned>((0x100 - (sum & 0xFF)) & 0xFF));
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a deterministic stand-in firmware image as Intel HEX text."};
    std::uint32_t size = 0;
    std::uint64_t seed = 0;
    std::string label;
    std::string output;
    app.add_option("--size", size, "image size in bytes, a multiple of 256")->required();
    app.add_option("--seed", seed, "selects the content; each variant gets its own")->required();
    app.add_option("--label", label, "text at the start of the image");
    app.add_option("--output", output, "the Intel HEX file to write")->required();
    CLI11_PARSE(app, argc, argv);

    if (size % kPageSize != 0 || size < kMinPages * kPageSize || size > kMaxSize) {
        std::cerr << "t3xx-hexgen: --size must be a multiple of 256 from " << kMinPages * kPageSize << " to "
                  << kMaxSize << ", got " << size << "\n";
        return 1;
    }
    const std::vector<std::uint8_t> image = makeImage(size, seed, label);

    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (out == nullptr) {
        std::perror(("t3xx-hexgen: cannot create " + output).c_str());
        return 1;
    }
    for (std::uint32_t address = 0; address < size; address += kRecordSize) {
        if (address % kSegmentSize == 0) {
            const std::uint8_t segment[2] = {static_cast<std::uint8_t>(address >> 12), 0x00};
            writeRecord(out, 0, 0x02, segment, 2);
        }
        writeRecord(out, address % kSegmentSize, 0x00, &image[address], kRecordSize);
    }
    writeRecord(out, 0, 0x01, nullptr, 0);
    const bool writeFailed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || writeFailed) {
        std::perror(("t3xx-hexgen: cannot write " + output).c_str());
        std::remove(output.c_str());
        return 1;
    }
    return 0;
}
