// t3xx-devsim: a simulated T310/T320 detector on a pseudo-terminal or a TCP
// port, for trying the updater without hardware and for tests that run it
// as a separate program.

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/devsim/device_model.h"
#include "tools/devsim/pty_transport.h"
#include "tools/devsim/sim_server.h"
#include "tools/devsim/tcp_transport.h"

namespace {

using namespace vek::devsim;

SimServer* activeServer = nullptr;

extern "C" void onStopSignal(int) {
    if (activeServer) activeServer->stop();
}

bool writeFile(const std::string& path, const std::string& what, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::cerr << "t3xx-devsim: cannot write the " << what << " to " << path << "\n";
        return false;
    }
    return true;
}

// Adds each rule text of an option; a bad one is reported with the option's name.
void addRules(const char* option, const std::vector<std::string>& texts,
              const std::function<void(const std::string&)>& add) {
    for (const std::string& text : texts) {
        try {
            add(text);
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument(std::string(option) + " " + error.what());
        }
    }
}

// Standard input ends the simulator only when it is a pipe or a socket: a
// parent process closes it to say "stop". A terminal or /dev/null does not.
int stopInputFd() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) return -1;
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ? STDIN_FILENO : -1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "t3xx-devsim: a simulated T310/T320 gas detector for the updater.\n"
        "It plays the application (answers the type 3 ping with an error answer and accepts the\n"
        "enter-bootloader request) and the bootloader (ping, identification, page transfers with\n"
        "a real block test of its simulated flash, restart) on a pseudo-terminal or a TCP port.\n"
        "The first line on standard output is what to open: the pseudo-terminal's path, or\n"
        "localhost:PORT with --tcp. The simulator serves until it is killed (SIGINT/SIGTERM),\n"
        "standard input closes (when it is a pipe) or an exit condition holds; it then writes a\n"
        "JSON report (to standard output, or --report FILE).\n"
        "Answer selectors (SEL) for the faults: any, ping, enter, identify, restart, page, page:N\n"
        "(N = page index from 0). A ,TIMES suffix limits how often a fault fires (default: always).",
        "t3xx-devsim"};

    DeviceConfig config;
    FaultPlan faults;
    ServeOptions serve;
    std::string model = "T310";
    int tcpPort = -1;
    std::string linkPath, reportPath, flashPath;
    bool verbose = false;
    std::vector<std::string> failBlockTests, errorAnswers, corruptChecks, delays;
    bool silent = false, stayInApp = false, noEnterAnswer = false;
    int hangUpPage = -1, garbage = 0;

    app.option_defaults()->group("Device");
    app.add_option("--model", model, "T310 (496 pages) or T320 (1008 pages)")->capture_default_str();
    app.add_option("--pages", config.pageCount, "Page count to report instead of the model's own (e.g. 500)")
        ->check(CLI::Range(1, 65535));
    app.add_option("--page-size-units", config.pageSizeUnits, "Page size / 8 to report (32 = 256 bytes)")
        ->capture_default_str()->check(CLI::Range(1, 255));
    app.add_option("--boot-version", config.bootloaderVersion,
                   "Bootloader version in hundredths (104 = 1.04; the updater needs more than 103)")
        ->capture_default_str()->check(CLI::Range(0, 65535));
    app.add_option("--id-form", config.identifyForm, "Identification payload length: 11, 9 or 4 bytes")
        ->capture_default_str()->check(CLI::IsMember({4, 9, 11}));
    app.add_option("--id-text", config.identifyText, "5-character text of the identification (default: model name)");
    app.add_flag("--start-in-bootloader", config.startInBootloader, "Start in bootloader mode instead of the application");
    app.add_flag("--no-enter-answer", noEnterAnswer,
                 "The application switches to its bootloader without acknowledging the enter-bootloader request");

    app.option_defaults()->group("Faults");
    app.add_option("--fail-block-test", failBlockTests,
                   "PAGE[,TIMES]: the block test of that page fails TIMES times (default 1); programming "
                   "it writes a damaged copy. Repeatable");
    app.add_flag("--silent", silent, "Never answer anything");
    app.add_flag("--stay-in-application", stayInApp,
                 "Acknowledge the enter-bootloader request but stay in the application");
    app.add_option("--error-answer", errorAnswers,
                   "SEL=CODE[,TIMES]: answer the selected requests with an error answer carrying device "
                   "code CODE instead of carrying them out. Repeatable");
    app.add_option("--corrupt-check", corruptChecks,
                   "SEL[,TIMES]: send the selected answers with damaged check bytes. Repeatable");
    app.add_option("--delay", delays,
                   "[SEL=]MS[,TIMES]: send the selected answers (default: all) MS milliseconds late. Repeatable");
    app.add_option("--hangup-after-page", hangUpPage,
                   "N: once page N (from 0) has been answered, hang up the line when the next request "
                   "arrives, without answering it")
        ->check(CLI::Range(0, 65535));
    app.add_option("--garbage", garbage, "N: put N noise bytes (never the letter V) before every answer")
        ->check(CLI::Range(0, 4096));

    app.option_defaults()->group("Line and transport");
    app.add_option("--baud", serve.baud,
                   "Simulate line time at this baud rate, 10 bits a byte, both directions (0 = off)")
        ->capture_default_str()->check(CLI::Range(0, 10000000));
    app.add_option("--tcp", tcpPort, "Listen on 127.0.0.1:PORT instead of a pseudo-terminal (0 = any free port)")
        ->check(CLI::Range(0, 65535));
    app.add_option("--link", linkPath, "Also make a symbolic link to the pseudo-terminal at this path");

    app.option_defaults()->group("Exit and output");
    app.add_flag("--exit-after-restart", serve.exitAfterRestart, "End once the restart request has been answered");
    app.add_option("--report", reportPath, "Write the JSON report to this file instead of standard output");
    app.add_option("--flash-out", flashPath, "Write the simulated flash (pages x page size bytes) to this file at exit");
    app.add_flag("-v,--verbose", verbose, "Log every request to standard error");

    CLI11_PARSE(app, argc, argv);

    std::unique_ptr<DeviceModel> device;
    std::unique_ptr<Transport> transport;
    try {
        config.model = parseModel(model);
        config.answerEnterBootloader = !noEnterAnswer;
        addRules("--fail-block-test", failBlockTests, [&](const std::string& t) { faults.failBlockTest(t); });
        addRules("--error-answer", errorAnswers, [&](const std::string& t) { faults.errorAnswer(t); });
        addRules("--corrupt-check", corruptChecks, [&](const std::string& t) { faults.corruptCheck(t); });
        addRules("--delay", delays, [&](const std::string& t) { faults.delayAnswers(t); });
        faults.silent(silent).stayInApplication(stayInApp).hangUpAfterPage(hangUpPage).garbageBeforeAnswers(garbage);
        device = std::make_unique<DeviceModel>(config, faults);
        if (tcpPort >= 0) {
            transport = std::make_unique<TcpTransport>(tcpPort);
        } else {
            transport = std::make_unique<PtyTransport>(linkPath);
        }
    } catch (const std::exception& error) {
        std::cerr << "t3xx-devsim: " << error.what() << "\n";
        return 2;
    }
    if (verbose) {
        device->setLog([](const std::string& line) { std::cerr << "t3xx-devsim: " << line << "\n"; });
    }

    std::mutex lock;
    serve.inputFd = stopInputFd();
    SimServer server(*device, lock, *transport, serve);
    activeServer = &server;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);

    std::cout << transport->address() << std::endl;  // first line, flushed: what to open
    if (verbose) {
        std::cerr << "t3xx-devsim: " << modelName(config.model) << ", " << config.effectivePageCount() << " pages of "
                  << config.pageSize() << " bytes, bootloader " << config.bootloaderVersion << ", "
                  << (config.startInBootloader ? "in bootloader" : "in application") << "\n";
        for (const std::string& line : device->faults().describe()) std::cerr << "t3xx-devsim: fault: " << line << "\n";
    }

    int status = 0;
    try {
        const ServeEnd end = server.run();
        if (verbose) std::cerr << "t3xx-devsim: ended: " << serveEndName(end) << "\n";
    } catch (const std::exception& error) {
        std::cerr << "t3xx-devsim: " << error.what() << "\n";
        status = 1;
    }
    activeServer = nullptr;

    SimReport report = device->report();
    report.baud = serve.baud;
    const std::string json = report.toJson();
    if (reportPath.empty()) {
        std::cout << json << std::flush;
    } else if (!writeFile(reportPath, "report", json.data(), json.size())) {
        status = 1;
    }
    const vek::ByteVector& flash = device->flash();
    if (!flashPath.empty() &&
        !writeFile(flashPath, "flash", reinterpret_cast<const char*>(flash.data()), flash.size())) {
        status = 1;
    }
    return status;
}
