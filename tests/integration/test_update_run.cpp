// The whole update run against a simulated detector on a pseudo-terminal:
// the log line by line, the step indicator, the progress labels, what went
// on the line, and the simulated flash afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "firmware/firmware_images.h"
#include "firmware/program_firmware.h"
#include "integration/update_rig.h"
#include "update/session_sources.h"

namespace vek {
namespace {

using devsim::DeviceConfig;
using devsim::FaultPlan;
using devsim::Model;
using test::SentPage;
using test::UpdateRig;
using Lines = std::vector<std::string>;
using Steps = std::vector<unsigned>;

constexpr int kT310Flash = 496 * 256;
constexpr int kT320Flash = 1008 * 256;

// The program's own catalogue and image buffers, built once.
FirmwareImages& catalogueImages() {
    static FirmwareImages* images = [] {
        programCatalogue().buildCatalogue();
        return new FirmwareImages(programCatalogue());
    }();
    return *images;
}

ImageBytes catalogueImage(int model, int index) {
    return catalogueImageSource(catalogueImages())(model, index);
}

// The index of the T310 entry with French among its languages.
int frenchIndex() {
    catalogueImages();
    for (int i = 0; i < programCatalogue().entryCount(310); ++i) {
        if (std::string(programCatalogue().firmwareDescription(310, i)).find("FR") != std::string::npos) {
            return i;
        }
    }
    return -1;
}

ImageSource fixedImage(ImageBytes image) {
    return [image](int, int) { return image; };
}

DeviceConfig t310(bool inBootloader = false) {
    DeviceConfig config;
    config.model = Model::T310;
    config.startInBootloader = inBootloader;
    return config;
}

ByteVector head(const ImageBytes& image, int length) {
    return ByteVector(image->begin(), image->begin() + length);
}

// Checks labels 001/count ... count/count in order, each page shown at least
// once, with the bar at 0 first and 100 last.
void expectProgressThroughAllPages(const test::RecordingView& view, int count) {
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.front().label, "001/" + std::to_string(count));
    EXPECT_EQ(view.progress.front().percent, 0);
    EXPECT_EQ(view.progress.back().label, std::to_string(count) + "/" + std::to_string(count));
    EXPECT_EQ(view.progress.back().percent, 100);
    int expected = 0;
    for (const auto& p : view.progress) {
        if (p.page == expected + 1) ++expected;
        ASSERT_EQ(p.page, expected) << "pages must go up one at a time or repeat";
        ASSERT_EQ(p.count, count);
    }
    EXPECT_EQ(expected, count - 1);
}

TEST(UpdateRun, T310InApplicationModeIsSwitchedIdentifiedAndFlashed) {
    const int index = frenchIndex();
    ASSERT_GE(index, 0);
    const ImageBytes french = catalogueImage(310, index);
    ASSERT_TRUE(french);
    ASSERT_EQ(french->size(), 131072u);  // 4,096 beyond the flash, never sent

    UpdateRig rig(t310(), {}, catalogueImageSource(catalogueImages()));
    rig.view.index310 = index;
    const UpdateResult result = rig.run();

    EXPECT_EQ(rig.view.lines(), (Lines{
                                    "Device in application mode ...",
                                    "  ... switching to bootloader",
                                    "Detecting bootloader ...",
                                    "Bootloader version: 1.04",
                                    "496 pages @ 256 bytes",
                                    "Target device is T310",
                                }));
    EXPECT_EQ(rig.view.steps, (Steps{1, 2, 3, 4, 0}));
    EXPECT_EQ(rig.view.progress.size(), 496u);
    expectProgressThroughAllPages(rig.view, 496);
    EXPECT_EQ(rig.view.yields, 496);
    EXPECT_FALSE(rig.view.progressFailed);
    EXPECT_TRUE(rig.view.alerts.empty());

    EXPECT_EQ(rig.sim.flash(), head(french, kT310Flash));
    const devsim::SimReport report = rig.sim.report();
    EXPECT_EQ(report.restarts, 1);
    EXPECT_EQ(report.distinctPagesProgrammed(), 496u);
    EXPECT_EQ(report.blockTestsFailed, 0);

    EXPECT_EQ(result.outcome, UpdateOutcome::Updated);
    EXPECT_TRUE(result.fullyUpdated());
    EXPECT_EQ(result.model, 310);
    EXPECT_EQ(result.bootloaderVersion, 104);
    EXPECT_EQ(result.pagesSent, 496);
    EXPECT_EQ(result.pagesSentWithoutData, report.requestsWithoutDataPart);
    EXPECT_EQ(result.repeats, 0);
    EXPECT_TRUE(result.restarted);
}

// Also: every page passed, but the device refuses the restart. That is not
// reported as a finished update.
TEST(UpdateRun, T320WithTheNineByteIdentificationGetsTheLastT320Entry_RestartRefused) {
    catalogueImages();
    const int last = programCatalogue().entryCount(320) - 1;
    ASSERT_GE(last, 0);
    const ImageBytes image = catalogueImage(320, last);
    ASSERT_TRUE(image);

    DeviceConfig config;
    config.model = Model::T320;
    config.identifyForm = 9;
    config.bootloaderVersion = 212;
    FaultPlan faults;
    faults.errorAnswer(devsim::AnswerSelector{devsim::RequestKind::Restart, -1}, 5);
    UpdateRig rig(config, faults, catalogueImageSource(catalogueImages()));
    rig.view.index320 = last;
    const UpdateResult result = rig.run();

    const Lines lines = rig.view.lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "Bootloader version: 2.12");
    EXPECT_EQ(lines[4], "1008 pages @ 256 bytes");
    EXPECT_EQ(lines[5], "Target device is T320");
    EXPECT_EQ(lines[6], "Error: device reports code #5");
    EXPECT_EQ(rig.view.steps, (Steps{1, 2, 3, 4, 0}));
    expectProgressThroughAllPages(rig.view, 1008);
    EXPECT_EQ(rig.sim.flash(), head(image, kT320Flash));
    EXPECT_EQ(result.model, 320);
    EXPECT_EQ(result.pagesSent, 1008);
    EXPECT_FALSE(result.restarted);
    EXPECT_EQ(result.outcome, UpdateOutcome::UpdatedRestartUnconfirmed);
    EXPECT_FALSE(result.fullyUpdated());
}

TEST(UpdateRun, FourByteIdentificationAndNoFirmwareChosen) {
    DeviceConfig config;
    config.model = Model::T320;
    config.identifyForm = 4;
    config.bootloaderVersion = 104;
    config.startInBootloader = true;
    UpdateRig rig(config, {}, catalogueImageSource(catalogueImages()));
    rig.view.index320 = -1;
    const UpdateResult result = rig.run();

    EXPECT_EQ(rig.view.lines(), (Lines{
                                    "Device in bootloader mode",
                                    "Detecting bootloader ...",
                                    "Bootloader version: 1.04",
                                    "1008 pages @ 256 bytes",
                                    "Target device is T320",
                                    "Internal error: Resource not found!",
                                }));
    EXPECT_EQ(rig.view.alerts, (Lines{"Internal error: Resource not found!"}));
    EXPECT_TRUE(rig.sentPages().empty());
    EXPECT_EQ(rig.sim.report().restarts, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::FirmwareInvalid);
    EXPECT_TRUE(result.restarted);
}

// Both kinds of repeat in one run of the page loop: page 3 fails twice and
// then passes; pages 5 and 6 are zero, and page 6, sent without its data
// part, fails once and is repeated without it again.
TEST(UpdateRun, DeviceInItsBootloader_PagesRepeatedKeepTheirNumberAndZeroPagesTheirShortForm) {
    const ImageBytes base = catalogueImage(310, 1);
    ASSERT_TRUE(base);
    auto image = std::make_shared<ByteVector>(*base);
    // The test image has no zero pages but 5 and 6.
    for (int page = 0; page < 496; ++page) (*image)[page * 256 + 17] = 0x5A;
    std::fill(image->begin() + 5 * 256, image->begin() + 7 * 256, 0x00);

    UpdateRig rig(t310(true), FaultPlan().failBlockTest(3, 2).failBlockTest(6, 1), fixedImage(image));
    const UpdateResult result = rig.run();

    EXPECT_EQ(rig.view.lines(), (Lines{
                                    "Device in bootloader mode",
                                    "Detecting bootloader ...",
                                    "Bootloader version: 1.04",
                                    "496 pages @ 256 bytes",
                                    "Target device is T310",
                                    "Error: device reports code #4",
                                    "Block test not OK ... repeating block",
                                    "Error: device reports code #4",
                                    "Block test not OK ... repeating block",
                                    "Error: device reports code #4",
                                    "Block test not OK ... repeating block",
                                }));
    EXPECT_EQ(rig.view.steps, (Steps{1, 3, 4, 0}));
    const auto shown = [&](const std::string& label) {
        return std::count_if(rig.view.progress.begin(), rig.view.progress.end(),
                             [&](const auto& p) { return p.label == label; });
    };
    EXPECT_EQ(shown("004/496"), 3);
    EXPECT_EQ(shown("007/496"), 2);
    expectProgressThroughAllPages(rig.view, 496);

    const std::vector<SentPage> pages = rig.sentPages();
    ASSERT_EQ(pages.size(), 496u + 3u);
    std::string around;
    for (auto p = pages.begin() + 2; p != pages.begin() + 11; ++p) {
        around += std::to_string(p->page) + (p->withData ? "+data " : " ");
    }
    EXPECT_EQ(around, "2+data 3+data 3+data 3+data 4+data 5+data 6 6 7+data ");
    EXPECT_EQ(std::count_if(pages.begin(), pages.end(), [](const auto& p) { return !p.withData; }), 2);

    EXPECT_EQ(rig.sim.flash(), head(image, kT310Flash));
    EXPECT_EQ(result.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(result.pagesSent, 496);
    EXPECT_EQ(result.pagesSentWithoutData, 1);
    EXPECT_EQ(result.repeats, 3);
}

// Page 3's answer comes after the wait gave up on it. Taken for a later
// request's answer, it would confirm page 4 before its block test, and so
// on down the line: page 5's failed block test would go unnoticed.
TEST(UpdateRun, ALateAnswerIsNotTakenForALaterPagesAnswer) {
    const ImageBytes image = catalogueImage(310, 0);
    ASSERT_TRUE(image);
    UpdateRig rig(t310(), FaultPlan().delayAnswers({devsim::RequestKind::Page, 3}, 1500, 1).failBlockTest(5, 1),
                  catalogueImageSource(catalogueImages()));
    const UpdateResult result = rig.run();

    EXPECT_EQ(rig.sim.flash(), head(image, kT310Flash));
    const std::vector<SentPage> pages = rig.sentPages();
    EXPECT_EQ(std::count_if(pages.begin(), pages.end(), [](const auto& p) { return p.page == 5; }), 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(result.repeats, 2);
}

TEST(UpdateRun, APageFailingThreeTimesAbortsAndTheDeviceIsStillRestarted) {
    UpdateRig rig(t310(), FaultPlan().failBlockTest(3, 3), catalogueImageSource(catalogueImages()));
    const UpdateResult result = rig.run();

    const Lines lines = rig.view.lines();
    const Lines tail(lines.end() - 6, lines.end());
    EXPECT_EQ(tail, (Lines{
                        "Error: device reports code #4",
                        "Block test not OK ... repeating block",
                        "Error: device reports code #4",
                        "Block test not OK ... repeating block",
                        "Error: device reports code #4",
                        "Error ... abort!",
                    }));
    EXPECT_TRUE(rig.view.progressFailed);
    EXPECT_EQ(rig.view.progress.back().label, "004/496");
    EXPECT_EQ(rig.view.steps, (Steps{1, 2, 3, 4, 0}));
    const std::vector<SentPage> pages = rig.sentPages();
    ASSERT_EQ(pages.size(), 6u);  // pages 0, 1, 2 and three tries of page 3
    EXPECT_EQ(pages.back().page, 3);
    EXPECT_EQ(rig.sim.report().restarts, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::TransmissionAborted);
    EXPECT_FALSE(result.fullyUpdated());
    EXPECT_EQ(result.pagesSent, 3);
    EXPECT_TRUE(result.restarted);
}

TEST(UpdateRun, SilentDeviceMeansNoCommunicationAndNoRestart) {
    UpdateRig rig(t310(), FaultPlan().silent());
    const UpdateResult result = rig.run();
    EXPECT_EQ(rig.view.lines(), (Lines{"No communication!"}));
    EXPECT_EQ(rig.view.steps, (Steps{1, 0}));
    EXPECT_EQ(rig.tap.writes.size(), 3u);  // two application pings, one bootloader ping
    EXPECT_EQ(rig.sim.report().restarts, 0);
    EXPECT_EQ(result.outcome, UpdateOutcome::NoCommunication);
    EXPECT_FALSE(result.bootloaderReached);
}

TEST(UpdateRun, DeviceStayingInItsApplicationCannotStartTheBootloader) {
    UpdateRig rig(t310(), FaultPlan().stayInApplication());
    const UpdateResult result = rig.run();
    EXPECT_EQ(rig.view.lines(), (Lines{
                                    "Device in application mode ...",
                                    "  ... switching to bootloader",
                                    "Cannot start bootloader!",
                                }));
    EXPECT_EQ(rig.view.steps, (Steps{1, 2, 0}));
    EXPECT_EQ(rig.sim.report().restarts, 0);
    EXPECT_EQ(result.outcome, UpdateOutcome::BootloaderNotStarted);
}

TEST(UpdateRun, PortInUseIsNamedWithItsReasonBeforeNoCommunication) {
    UpdateRig rig(t310());
    SerialPort other;
    ASSERT_EQ(other.open(rig.port.c_str(), nullptr), 0);
    const UpdateResult result = rig.run();
    const Lines lines = rig.view.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Cannot open port " + rig.port + ": ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("in use"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "No communication!");
    EXPECT_EQ(rig.view.steps, (Steps{1, 0}));
    EXPECT_EQ(result.outcome, UpdateOutcome::NoCommunication);
    EXPECT_EQ(rig.sim.report().framesReceived, 0);
}

TEST(UpdateRun, Bootloader103IsRefusedButRestarted) {
    DeviceConfig config = t310(true);
    config.bootloaderVersion = 103;
    UpdateRig rig(config);
    const UpdateResult result = rig.run();
    EXPECT_EQ(rig.view.lines(), (Lines{
                                    "Device in bootloader mode",
                                    "Detecting bootloader ...",
                                    "Bootloader version not recognized!",
                                }));
    EXPECT_EQ(rig.view.alerts, (Lines{"Bootloader version not recognized!"}));
    EXPECT_EQ(rig.view.steps, (Steps{1, 4, 0}));
    EXPECT_EQ(rig.sim.report().restarts, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::BootloaderNotRecognized);
    EXPECT_EQ(result.bootloaderVersion, 103);
}

TEST(UpdateRun, UnknownPageCountIsNotSupportedAndNoPageIsSent) {
    DeviceConfig config = t310(true);
    config.pageCount = 500;
    UpdateRig rig(config, {}, catalogueImageSource(catalogueImages()));
    const UpdateResult result = rig.run();
    const Lines lines = rig.view.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "500 pages @ 256 bytes");
    EXPECT_EQ(lines[4], "Error: 500 of pages");
    EXPECT_EQ(lines[5], "  NOT SUPPORTED");
    EXPECT_TRUE(rig.sentPages().empty());
    EXPECT_EQ(rig.sim.report().restarts, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::DeviceNotSupported);
}

TEST(UpdateRun, ImageOfTheWrongSizeIsNotSent) {
    auto image = std::make_shared<ByteVector>(130000, 0x11);
    UpdateRig rig(t310(true), {}, fixedImage(image));
    const UpdateResult result = rig.run();
    EXPECT_EQ(rig.view.lines().back(), "Data size mismatch: 0x1fbd0");
    EXPECT_TRUE(rig.sentPages().empty());
    EXPECT_EQ(rig.sim.report().restarts, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::FirmwareInvalid);
}

}  // namespace
}  // namespace vek
