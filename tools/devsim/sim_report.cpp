#include "tools/devsim/sim_report.h"

#include <cstdio>
#include <sstream>

namespace vek {
namespace devsim {

namespace {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
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

}  // namespace

double SimReport::wireSeconds(int baudRate) const {
    if (baudRate <= 0) return 0.0;
    return static_cast<double>(bytesIn + bytesOut) * 10.0 / baudRate;
}

std::string SimReport::toJson() const {
    std::ostringstream out;
    out << "{\n";
    auto field = [&out](const char* key, const std::string& value, bool last = false) {
        out << "  \"" << key << "\": " << value << (last ? "\n" : ",\n");
    };
    auto number = [&field](const char* key, std::int64_t value) { field(key, std::to_string(value)); };
    field("model", jsonString(model));
    number("page_count", pageCount);
    number("page_size", pageSize);
    field("mode_at_exit", jsonString(modeAtExit));
    number("baud", baud);
    number("frames_received", framesReceived);
    number("bad_checks", badChecks);
    number("ignored_frames", ignoredFrames);
    number("answers_sent", answersSent);
    number("error_answers", errorAnswers);
    number("pings", pings);
    number("enter_bootloader_requests", enterBootloaderRequests);
    number("identifications", identifications);
    number("page_requests", pageRequests);
    number("requests_without_data_part", requestsWithoutDataPart);
    number("pages_programmed", programs);
    number("distinct_pages_programmed", static_cast<std::int64_t>(distinctPagesProgrammed()));
    std::string programsByPage = "{";
    for (auto it = pagePrograms.begin(); it != pagePrograms.end(); ++it) {
        if (it != pagePrograms.begin()) programsByPage += ", ";
        programsByPage += "\"" + std::to_string(it->first) + "\": " + std::to_string(it->second);
    }
    field("page_programs", programsByPage + "}");
    number("block_tests", blockTests);
    number("block_tests_failed", blockTestsFailed);
    number("malformed_requests", malformedRequests);
    number("restarts", restarts);
    number("hang_ups", hangUps);
    number("bytes_in", bytesIn);
    field("bytes_out", std::to_string(bytesOut), true);
    out << "}\n";
    return out.str();
}

}  // namespace devsim
}  // namespace vek
