#include "cli/detector_run.h"

#include <cstdio>
#include <exception>
#include <thread>

#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "cli/terminal_view.h"
#include "protocol/protocol_handler.h"
#include "update/session_sources.h"
#include "update/update_session.h"

namespace vek::flash {

namespace {

// Everything here belongs to this detector's thread alone.
DetectorReport updateOne(int detector, const std::string& port, const FirmwareChoice& choice, Console& console) {
    DetectorReport report;
    report.port = port;

    SerialPort serial;
    VersatileChannel channel;
    channel.attachSerialPort(&serial);
    channel.setSerialSettings(kDetectorLineSettings);
    VekProtocolHandler handler;
    handler.setChannel(&channel);
    TerminalView view(console, detector, choice);
    std::string imageProblem;
    UpdateSession session(channel, handler, view,
                          preparedImageSource(choice, [&view](const std::string& line) { view.note(line); },
                                              &imageProblem));
    session.setOpenFailureReason(serialOpenFailureReason(serial));
    view.attach(session);

    try {
        report.result = session.startUpdate(port.c_str());
    } catch (const std::exception& error) {
        // The session has sent the restart request already; the run counts
        // as aborted whatever escaped it.
        report.result = session.result();
        report.result.outcome = UpdateOutcome::TransmissionAborted;
        report.result.message = std::string("Unexpected error: ") + error.what();
    } catch (...) {
        report.result = session.result();
        report.result.outcome = UpdateOutcome::TransmissionAborted;
        report.result.message = "Unexpected error";
    }
    channel.close();

    // The session names a missing image in its own words; the image's own
    // problem (an unreadable file, no such entry) says what to fix.
    if (report.result.outcome == UpdateOutcome::FirmwareInvalid && !imageProblem.empty()) {
        report.result.message = imageProblem;
    }
    if (report.result.model != 0) report.firmware = choice.forModel(report.result.model).source;
    report.status = exitStatusOf(report.result.outcome);
    view.showDone(report.result.fullyUpdated() ? std::string("updated") : "FAILED: " + report.result.message);
    return report;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string versionText(std::uint16_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", version / 100, version % 100);
    return text;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

// A message on one line: a quoted HEX line ends in its line end.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

std::vector<DetectorReport> updateDetectors(const std::vector<std::string>& ports, const FirmwareChoice& choice,
                                            Console& console) {
    std::vector<DetectorReport> reports(ports.size());
    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        threads.emplace_back([i, &ports, &choice, &console, &reports] {
            // Each thread writes only its own element.
            reports[i] = updateOne(static_cast<int>(i), ports[i], choice, console);
        });
    }
    for (std::thread& thread : threads) thread.join();
    console.finish();
    return reports;
}

std::string resultLine(const DetectorReport& report) {
    const UpdateResult& r = report.result;
    std::string line = std::string("Result: ") + outcomeName(r.outcome) + " - " + oneLine(r.message) + " (";
    if (r.model != 0) line += "T" + std::to_string(r.model) + ", ";
    line += std::to_string(r.pagesSent) + (r.pageCount != 0 ? "/" + std::to_string(r.pageCount) : "") +
            " pages, " + secondsText(r.seconds) + " s)";
    return line;
}

std::string resultRecord(const DetectorReport& report) {
    const UpdateResult& r = report.result;
    return std::string("RESULT outcome=") + outcomeName(r.outcome) +
           " exit_status=" + std::to_string(report.status) +
           " model=" + (r.model != 0 ? "T" + std::to_string(r.model) : "-") +
           " bootloader=" + (r.bootloaderVersion != 0 ? versionText(r.bootloaderVersion) : "-") +
           " pages_sent=" + std::to_string(r.pagesSent) + "/" + std::to_string(r.pageCount) +
           " without_data=" + std::to_string(r.pagesSentWithoutData) + " repeats=" + std::to_string(r.repeats) +
           " restarted=" + (r.restarted ? "yes" : "no") + " seconds=" + secondsText(r.seconds) +
           " firmware=" + jsonString(report.firmware) + " message=" + jsonString(r.message);
}

std::string resultsJson(const std::vector<DetectorReport>& reports) {
    std::string json = "[\n";
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const DetectorReport& report = reports[i];
        const UpdateResult& r = report.result;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
        json += "  {\"port\": " + jsonString(report.port) +
                ", \"model\": " + (r.model != 0 ? "\"T" + std::to_string(r.model) + "\"" : "null") +
                ", \"bootloader_version\": " +
                (r.bootloaderVersion != 0 ? "\"" + versionText(r.bootloaderVersion) + "\"" : "null") +
                ", \"page_count\": " + std::to_string(r.pageCount) +
                ", \"pages_sent\": " + std::to_string(r.pagesSent) +
                ", \"pages_sent_without_data\": " + std::to_string(r.pagesSentWithoutData) +
                ", \"repeats\": " + std::to_string(r.repeats) +
                ", \"restarted\": " + (r.restarted ? "true" : "false") +
                ", \"outcome\": " + jsonString(outcomeName(r.outcome)) +
                ", \"exit_status\": " + std::to_string(report.status) +
                ", \"message\": " + jsonString(r.message) +
                ", \"firmware\": " + jsonString(report.firmware) +
                ", \"seconds\": " + seconds + "}" + (i + 1 < reports.size() ? ",\n" : "\n");
    }
    return json + "]\n";
}

}  // namespace vek::flash
