// t3xx-flash: the detector update of the GUI from a terminal, for service
// benches and scripts, on several detectors at once.

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "channel/serial_port_list.h"
#include "cli/console.h"
#include "cli/detector_run.h"
#include "cli/exit_status.h"
#include "cli/firmware_choice.h"
#include "cli/firmware_listing.h"
#include "firmware/embedded_resources.h"
#include "firmware/program_firmware.h"
#include "update/type_examination_notice.h"

namespace {

using namespace vek::flash;

constexpr char kDescription[] =
    "t3xx-flash: updates the firmware of T310 and T320 gas detectors over serial ports, as the\n"
    "t3xx-update window does: it brings each detector into its bootloader, identifies the model,\n"
    "sends the firmware chosen for that model page by page with a block test of every page, and\n"
    "restarts the detector. With several --port options all detectors are updated at the same time.\n"
    "\n"
    "The type-examination notice (shown when --accept-notice is missing) must be accepted with\n"
    "--accept-notice before anything is sent.";

std::string footer() {
    return "What is printed:\n"
           "  The log lines of each detector as the t3xx-update window shows them, prefixed with the\n"
           "  port when there are several, and a result line per detector. On a terminal a live\n"
           "  progress line per detector; on a pipe plain lines only. With --json the JSON goes to\n"
           "  standard output and the lines to standard error.\n"
           "\n"
           "Exit status:\n" +
           exitStatusTable() +
           "  With several ports, 0 only when every detector was updated; when failed detectors\n"
           "  failed in the same way, that way's status.\n"
           "\n"
           "Examples:\n"
           "  t3xx-flash --list-ports\n"
           "  t3xx-flash --accept-notice --port /dev/ttyUSB0\n"
           "  t3xx-flash --accept-notice --port /dev/ttyUSB0 --port /dev/ttyUSB1 --variant 2 --log service.log\n"
           "  t3xx-flash --extract T310:0 t310-fr.a90 && t3xx-flash --accept-notice --port COM1 --hex t310-fr.a90\n";
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "t3xx-flash: %s\n", message.c_str());
    return status;
}

int listPorts() {
    SerialPortList list;
    if (list.entries().empty()) std::fprintf(stderr, "t3xx-flash: no serial ports found\n");
    for (const SerialPortEntry& entry : list.entries()) {
        std::printf("%s%s%s\n", entry.name.c_str(), entry.description.empty() ? "" : "\t", entry.description.c_str());
    }
    return kAllUpdated;
}

int extract(const FirmwareCatalogue& catalogue, const std::string& entry, const std::string& path) {
    int model = 0, index = 0;
    if (!parseEntryName(entry, model, index)) {
        return fail(kBadUsage, "--extract " + entry + ": give the entry as MODEL:INDEX, e.g. T310:0");
    }
    if (index >= catalogue.entryCount(model)) {
        return fail(kBadUsage, "--extract " + entry + ": the T" + std::to_string(model) +
                                   " firmware list has no entry " + std::to_string(index) + " (see --list-firmware)");
    }
    const char* text = catalogue.firmwareText(model, index);
    if (text == nullptr) {
        return fail(kFirmwareInvalid, "--extract " + entry + ": the embedded resource " +
                                          catalogue.resourceName(model, index) + " is missing from this program");
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return fail(kCannotWriteFile, "cannot write " + path + ": " + std::strerror(errno));
    const auto size = static_cast<std::size_t>(catalogue.resourceSize(text));
    const bool written = std::fwrite(text, 1, size, file) == size;
    const int savedErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        return fail(kCannotWriteFile, "cannot write " + path + ": " + std::strerror(written ? errno : savedErrno));
    }
    return kAllUpdated;
}

// The problems of both models' images in one text, each named once.
std::string imageProblems(const FirmwareChoice& choice) {
    const std::string& t310 = choice.forModel(310).problem;
    const std::string& t320 = choice.forModel(320).problem;
    if (t310 == t320) return t310;
    return "as a T310 image: " + t310 + "; as a T320 image: " + t320;
}

struct UpdateOptions {
    std::vector<std::string> ports;
    int variant = -1;
    std::string hexFile;
    std::string logFile;
    bool quiet = false;
    bool json = false;
};

int update(const UpdateOptions& options) {
    const std::set<std::string> distinct(options.ports.begin(), options.ports.end());
    if (distinct.size() != options.ports.size()) {
        return fail(kBadUsage, "a port is named more than once; give each detector's port once");
    }

    // Every image is ready before the first port is opened; the sessions
    // only read them.
    const FirmwareChoice choice = options.hexFile.empty()
                                      ? FirmwareChoice::fromCatalogue(programCatalogue(), options.variant)
                                      : FirmwareChoice::fromHexFile(options.hexFile);
    if (!choice.anyImage()) {
        if (options.hexFile.empty()) {
            return fail(options.variant >= 0 ? kBadUsage : kFirmwareInvalid,
                        (options.variant >= 0 ? "--variant " + std::to_string(options.variant) + ": " : "") +
                            imageProblems(choice));
        }
        return fail(kFirmwareInvalid, "--hex " + options.hexFile + " cannot be sent: " + imageProblems(choice));
    }

    Console::Options consoleOptions;
    consoleOptions.stream = options.json ? stderr : stdout;
    consoleOptions.quiet = options.quiet;
    consoleOptions.live = !options.quiet && Console::isLiveTerminal(consoleOptions.stream);
    consoleOptions.width = Console::terminalWidth(consoleOptions.stream);
    consoleOptions.prefixPorts = options.ports.size() > 1;
    Console console(consoleOptions, options.ports);
    if (!options.logFile.empty()) {
        std::string reason;
        if (!console.openLogFile(options.logFile, reason)) {
            return fail(kCannotWriteFile, "cannot append to the log file " + options.logFile + ": " + reason);
        }
    }

    console.programLine("Type-examination notice accepted (--accept-notice)");
    for (int model : {310, 320}) {
        const ModelImage& image = choice.forModel(model);
        console.programLine("Firmware for a T" + std::to_string(model) + ": " +
                            (image.bytes ? image.source : "none (" + image.problem + ")"));
    }

    const std::vector<DetectorReport> reports = updateDetectors(options.ports, choice, console);

    std::vector<ExitStatus> statuses;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const DetectorReport& report = reports[i];
        statuses.push_back(report.status);
        console.recordLine(static_cast<int>(i), resultRecord(report));
        const std::string prefix = consoleOptions.prefixPorts ? report.port + ": " : std::string();
        if (!options.quiet) {
            std::fprintf(consoleOptions.stream, "%s%s\n", prefix.c_str(), resultLine(report).c_str());
        } else if (report.status != kAllUpdated) {
            std::fprintf(stderr, "t3xx-flash: %s: %s\n", report.port.c_str(), resultLine(report).c_str());
        }
    }
    std::fflush(consoleOptions.stream);
    if (options.json) {
        const std::string json = resultsJson(reports);
        std::fwrite(json.data(), 1, json.size(), stdout);
        std::fflush(stdout);
    }
    const ExitStatus status = combinedExitStatus(statuses);
    const std::string logError = console.logFileError();
    if (!logError.empty()) {
        // The detectors' own failures say more; an update that went well
        // still fails when its service record is incomplete.
        const int logStatus = fail(kCannotWriteFile, "cannot write to the log file " + options.logFile + ": " +
                                                         logError + "; the service record is incomplete");
        if (status == kAllUpdated) return logStatus;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (| head) must not end the program while a
    // detector sits in its bootloader half-written.
    std::signal(SIGPIPE, SIG_IGN);

    CLI::App app{kDescription, "t3xx-flash"};
    app.footer(footer());
    app.get_formatter()->column_width(34);

    UpdateOptions options;
    bool acceptNotice = false, listPortsFlag = false, listFirmwareFlag = false;
    std::pair<std::string, std::string> extractArguments;

    app.option_defaults()->group("Update");
    app.add_option("-p,--port", options.ports,
                                      "Serial port of a detector (/dev/ttyUSB0, COM1, ...). Repeat it to update "
                                      "several detectors at the same time")
                           ->type_name("PORT");
    app.add_flag("--accept-notice", acceptNotice,
                 "Accept the type-examination notice; without it nothing is sent and the status is 1");
    auto* variantOption =
        app.add_option("--variant", options.variant,
                       "Entry of the detected model's firmware list, from 0 as in --list-firmware (default: "
                       "the first T310 entry, the last T320 entry)")
            ->type_name("N")
            ->check(CLI::Range(0, 999).description(""));
    app.add_option("--hex", options.hexFile,
                   "Send this Intel HEX file instead of an embedded image (read into the detected model's "
                   "image buffer)")
        ->type_name("FILE")
        ->excludes(variantOption);

    app.option_defaults()->group("Output");
    app.add_flag("-q,--quiet", options.quiet, "No log and progress lines; failures still go to standard error");
    app.add_flag("--json", options.json,
                 "Print the results as JSON on standard output: port, model, bootloader version, pages sent, "
                 "pages sent without data, repeats, outcome, message, seconds per detector");
    app.add_option("--log", options.logFile,
                   "Append the timestamped log lines and a result line per detector to FILE (a service record)")
        ->type_name("FILE");

    app.option_defaults()->group("Information (nothing is sent)");
    app.add_flag("--list-ports", listPortsFlag, "List the serial ports present, with their descriptions");
    app.add_flag("--list-firmware", listFirmwareFlag,
                 "List the embedded firmware: index, model, size, SHA-256, resource name, description; and "
                 "the version");
    auto* extractOption = app.add_option("--extract", extractArguments,
                                         "Write the embedded Intel HEX text of entry MODEL:INDEX (e.g. T310:0) "
                                         "to FILE, unchanged")
                              ->type_name("MODEL:INDEX FILE");
    app.get_help_ptr()->group("Information (nothing is sent)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kAllUpdated : kBadUsage;
    }
    const bool extracting = extractOption->count() > 0;
    if (!options.ports.empty() && (listPortsFlag || listFirmwareFlag || extracting)) {
        return fail(kBadUsage, "--list-ports, --list-firmware and --extract send nothing: give them without --port");
    }

    if (listPortsFlag) {
        listPorts();
        if (!listFirmwareFlag && !extracting) return kAllUpdated;
    }

    FirmwareCatalogue& catalogue = programCatalogue();
    catalogue.buildCatalogue();
    if (catalogue.versionStatus() != FirmwareCatalogue::versionRead) {
        return fail(kFirmwareInvalid, catalogue.versionStatus() == FirmwareCatalogue::versionAbsent
                                          ? "Resource error! The embedded firmware carries no version."
                                          : "Resource not found! The embedded firmware version is unreadable.");
    }
    if (listFirmwareFlag) std::fputs(firmwareListing(catalogue, embeddedResources()).c_str(), stdout);
    if (extracting) return extract(catalogue, extractArguments.first, extractArguments.second);
    if (listPortsFlag || listFirmwareFlag) return kAllUpdated;

    if (options.ports.empty()) {
        return fail(kBadUsage, "name the detector's serial port with --port (see --list-ports), or see --help");
    }
    if (!acceptNotice) {
        std::fprintf(stderr, "%s\n\n", vek::kTypeExaminationNotice);
        return fail(kNoticeNotAccepted,
                    "the notice above must be accepted before a detector is updated: run again with "
                    "--accept-notice. Nothing was sent.");
    }
    return update(options);
}
