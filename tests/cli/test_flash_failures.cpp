// t3xx-flash refusing, failing and informing: the notice, bad usage, each
// kind of failed update with its exit status and message, and the lists.

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <cstdio>
#include <fstream>

#include "embedded_image.h"
#include "flash_processes.h"

namespace vek::flash::test {
namespace {

// The reference sum, computed in one pass over the text.
std::string sha256(const std::string& bytes) {
    std::vector<unsigned char> digest(EVP_MD_get_size(EVP_sha256()));
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), nullptr, EVP_sha256(), nullptr);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) hex += {digits[byte >> 4], digits[byte & 15]};
    return hex;
}

TEST(FlashRefusal, WithoutAcceptingTheNoticeNothingReachesThePort) {
    Detector t310({"--model", "T310"});
    const FlashRun run = runFlash({"--port", t310.port()});
    const std::string report = t310.finish();
    EXPECT_EQ(run.status, 1);
    // Both paragraphs, as the warning window shows them.
    EXPECT_TRUE(contains(run.err, "The 7. Supplement to the EC-Type Examination Certificate")) << run.err;
    EXPECT_TRUE(contains(run.err, "\n\nDer 7. Nachtrag zur EG-Baumusterpr\u00fcfbescheinigung")) << run.err;
    EXPECT_TRUE(contains(run.err, "--accept-notice")) << run.err;
    EXPECT_TRUE(contains(report, "\"bytes_in\": 0,")) << report;
}

TEST(FlashRefusal, BadUsageIsStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {"--no-such-option"},
        {"--accept-notice"},                                      // no port
        {"--accept-notice", "--port", "/dev/null", "--port", "/dev/null"},
        {"--accept-notice", "--port", "/dev/null", "--variant", "-1"},
        {"--accept-notice", "--port", "/dev/null", "--variant", "7"},  // in neither list
        {"--accept-notice", "--port", "/dev/null", "--variant", "1", "--hex", "x.hex"},
        {"--list-firmware", "--port", "/dev/null"},
        {"--extract", "T330:0", "x.hex"},
        {"--extract", "T320:1", "x.hex"},
        {"--extract", "T310:0"},
    };
    for (const auto& args : cases) {
        const FlashRun run = runFlash(args);
        std::string joined;
        for (const std::string& arg : args) joined += arg + " ";
        EXPECT_EQ(run.status, 2) << joined << "\n" << run.err;
        EXPECT_FALSE(run.err.empty()) << joined;
    }
}

TEST(FlashRefusal, HelpListsEveryOptionAndExitStatus) {
    const FlashRun run = runFlash({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--port", "--variant", "--hex", "--accept-notice", "--list-ports", "--list-firmware",
                               "--extract", "--quiet", "--json", "--log"}) {
        EXPECT_TRUE(contains(run.out, option)) << option;
    }
    // The README's table names the same statuses.
    std::ifstream in(T3XX_README);
    ASSERT_TRUE(in) << T3XX_README;
    const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (int status = 0; status <= 11; ++status) {
        char line[16];
        std::snprintf(line, sizeof line, "\n  %2d  ", status);
        EXPECT_TRUE(contains(run.out, line)) << "exit status " << status;
        std::snprintf(line, sizeof line, "\n| %d | ", status);
        EXPECT_TRUE(contains(readme, line)) << "exit status " << status << " in README.md";
    }
    EXPECT_FALSE(contains(run.out, "\n  12  "));
}

struct FailureCase {
    const char* name;
    std::vector<std::string> device;
    std::vector<std::string> flashOptions;
    int status;
    const char* outcome;
    std::vector<std::string> lines;  // in the output, in this order
};

TEST(FlashFailure, EachKindHasItsStatusAndMessage) {
    const std::vector<FailureCase> cases = {
        {"bootloader does not start", {"--stay-in-application"}, {}, 4, "bootloader-not-started",
         {"Device in application mode ...", "Cannot start bootloader!"}},
        {"old bootloader", {"--boot-version", "103"}, {}, 5, "bootloader-not-recognized",
         {"Bootloader version not recognized!"}},
        {"unknown page count", {"--pages", "500"}, {}, 6, "device-not-supported",
         {"Error: 500 of pages", "  NOT SUPPORTED"}},
        {"no such entry for the model", {"--model", "T320"}, {"--variant", "1"}, 7,
         "firmware-invalid",
         {"Target device is T320",
          "Error: the T320 firmware list has no entry 1 (entries 0 to 0, see --list-firmware)",
          "Internal error: Resource not found!"}},
        {"page fails three times", {"--start-in-bootloader", "--fail-block-test", "0,3"}, {}, 8,
         "transmission-aborted", {"Block test not OK ... repeating block", "Error ... abort!"}},
    };
    for (const FailureCase& c : cases) {
        Detector detector(c.device);
        std::vector<std::string> args = {"--accept-notice", "--port", detector.port()};
        args.insert(args.end(), c.flashOptions.begin(), c.flashOptions.end());
        const FlashRun run = runFlash(args);
        const std::string report = detector.finish();
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(contains(run.out, std::string("Result: ") + c.outcome + " - ")) << c.name << "\n" << run.out;
        std::size_t at = 0;
        for (const std::string& line : c.lines) {
            at = run.out.find(line + "\n", at);
            EXPECT_NE(at, std::string::npos) << c.name << ": no line \"" << line << "\" in order\n" << run.out;
        }
        // Once the bootloader answered, it was told to restart.
        if (c.status != 4) {
            EXPECT_TRUE(contains(report, "\"restarts\": 1,")) << c.name << "\n" << report;
        }
    }
}

TEST(FlashFailure, PortThatCannotBeOpenedSaysWhy) {
    const FlashRun run = runFlash({"--accept-notice", "--port", "/dev/t3xx-no-such-port", "--json"});
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.err, "Cannot open port /dev/t3xx-no-such-port: ")) << run.err;
    EXPECT_TRUE(contains(run.err, "No communication!\n")) << run.err;
    EXPECT_TRUE(contains(jsonOf(run.out, "/dev/t3xx-no-such-port"),
                         "\"outcome\": \"no-communication\", \"exit_status\": 3, \"message\": \"Cannot open port "
                         "/dev/t3xx-no-such-port: "))
        << run.out;
}

TEST(FlashFailure, HexFileErrorsKeepTheirTexts) {
    // Unreadable for every model: nothing is opened.
    const FlashRun missing = runFlash({"--accept-notice", "--port", "/dev/null", "--hex", tempPath("absent.hex")});
    EXPECT_EQ(missing.status, 7);
    EXPECT_TRUE(contains(missing.err, ": Error opening HEX file for input!\n")) << missing.err;

    // A T320 image does not fit a T310's buffer.
    const std::string file = tempPath("t320.a90");
    ASSERT_EQ(runFlash({"--extract", "T320:0", file}).status, 0);
    Detector t310({"--model", "T310"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port(), "--hex", file, "--json"});
    const std::string report = t310.finish();
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_TRUE(contains(run.err, "Target device is T310\nError: HEX file defines data outside buffer limits!"))
        << run.err;
    EXPECT_TRUE(contains(jsonOf(run.out, t310.port()), "\"message\": \"HEX file defines data outside buffer limits!"))
        << run.out;
    EXPECT_TRUE(contains(report, "\"page_requests\": 0,")) << report;
    std::remove(file.c_str());
}

TEST(FlashFailure, DifferentFailuresOfSeveralDetectorsAreStatus10AndTheJsonSaysWhich) {
    Detector unconfirmed({"--error-answer", "restart=5"});
    Detector silent({"--silent"});
    const FlashRun run =
        runFlash({"--accept-notice", "--port", unconfirmed.port(), "--port", silent.port(), "--json", "--quiet"});
    unconfirmed.finish();
    silent.finish();
    EXPECT_EQ(run.status, 10) << run.err;
    EXPECT_EQ(unconfirmed.flash(), expectedFlash(310, 0));
    EXPECT_TRUE(contains(jsonOf(run.out, unconfirmed.port()),
                         "\"pages_sent\": 496, \"pages_sent_without_data\": 5, \"repeats\": 0, \"restarted\": false, "
                         "\"outcome\": \"updated-restart-unconfirmed\", \"exit_status\": 9"))
        << run.out;
    EXPECT_TRUE(contains(jsonOf(run.out, silent.port()),
                         "\"outcome\": \"no-communication\", \"exit_status\": 3, \"message\": \"No communication!\""))
        << run.out;
    // --quiet: only the failures, on standard error.
    EXPECT_TRUE(contains(run.err, "t3xx-flash: " + silent.port() + ": Result: no-communication")) << run.err;
    EXPECT_FALSE(contains(run.err, "Device in bootloader mode")) << run.err;
}

TEST(FlashInformation, FirmwareListMatchesTheEmbeddedTexts) {
    const FlashRun run = runFlash({"--list-firmware"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Embedded firmware version: V")) << run.out;
    for (int model : {310, 320}) {
        for (int index = 0; index < builtCatalogue().entryCount(model); ++index) {
            const std::string text = embeddedText(model, index);
            char head[32];
            std::snprintf(head, sizeof head, "%-5d  T%-4d  %8zu  ", index, model, text.size());
            const std::string line = std::string(head) + sha256(text) + "  " +
                                     builtCatalogue().resourceName(model, index);
            EXPECT_TRUE(contains(run.out, line)) << line << "\n" << run.out;
            EXPECT_TRUE(contains(run.out, builtCatalogue().firmwareDescription(model, index)));
        }
    }
}

TEST(FlashInformation, ExtractToAnUnwritablePlaceIsStatus11) {
    const FlashRun run = runFlash({"--extract", "T310:0", "/nonexistent-folder/t310.a90"});
    EXPECT_EQ(run.status, 11);
    EXPECT_TRUE(contains(run.err, "cannot write /nonexistent-folder/t310.a90: No such file or directory")) << run.err;
    const FlashRun log = runFlash({"--accept-notice", "--port", "/dev/null", "--log", "/nonexistent-folder/x.log"});
    EXPECT_EQ(log.status, 11);
}

}  // namespace
}  // namespace vek::flash::test
