#pragma once

// What a simulated detector saw and did, for tests, benchmarks and the
// JSON report the program writes when it ends.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace vek {
namespace devsim {

struct SimReport {
    std::string model;         // "T310" or "T320"
    int pageCount = 0;
    int pageSize = 0;
    std::string modeAtExit;    // "application" or "bootloader"
    int baud = 0;              // line-time simulation; 0 = off

    int framesReceived = 0;    // complete frames, good or bad
    int badChecks = 0;         // frames with a wrong check value (never answered)
    int ignoredFrames = 0;     // good frames the device does not answer in its mode
    int answersSent = 0;       // answers produced, error answers included
    int errorAnswers = 0;
    int pings = 0;
    int enterBootloaderRequests = 0;
    int identifications = 0;
    int pageRequests = 0;      // page transfer requests (command 127 with operations)
    int requestsWithoutDataPart = 0;
    int programs = 0;          // program operations carried out
    std::map<int, int> pagePrograms;  // page index -> how often it was programmed
    int blockTests = 0;
    int blockTestsFailed = 0;
    int malformedRequests = 0;  // answered with an error answer
    int restarts = 0;
    int hangUps = 0;
    std::int64_t bytesIn = 0;   // bytes taken from the line
    std::int64_t bytesOut = 0;  // bytes put on the line (noise included)

    std::size_t distinctPagesProgrammed() const { return pagePrograms.size(); }
    // Seconds the bytes of both directions would take on a line at the baud
    // rate (10 bits a byte); 0 when baud is 0.
    double wireSeconds(int baudRate) const;
    // One JSON object, keys in snake_case, ending with a newline.
    std::string toJson() const;
};

}  // namespace devsim
}  // namespace vek
