#pragma once

// Command codes, variants and operation codes of the requests the updater
// sends to the detector's application and bootloader. Multi-byte numbers
// inside these payloads go most significant byte first.

#include <cstdint>

namespace vek::bootloader {

// Ping, page transfer and restart share one command; the first payload
// byte tells them apart.
constexpr std::uint8_t kCommandOperations = 127;
constexpr std::uint8_t kCommandIdentify = 126;
constexpr std::uint8_t kCommandEnterBootloader = 28;

constexpr std::uint8_t kVariantApplication = 0;  // type 3 telegrams
constexpr std::uint8_t kVariantBootloader = 1;   // type 4 telegrams

constexpr std::uint8_t kOperationPing = 0x00;
constexpr std::uint8_t kOperationRestart = 0x07;
// Page transfer: page data into the device's page buffer, program the
// buffer into flash, block test of the flash against the buffer.
constexpr std::uint8_t kOperationPageData = 0x09;
constexpr std::uint8_t kOperationProgramPage = 0x04;
constexpr std::uint8_t kOperationBlockTest = 0x08;

// The application's enter-bootloader payload.
constexpr std::uint8_t kEnterBootloaderPayload[] = {0x06, 0x00, 0x00, 0x00};

}  // namespace vek::bootloader
