// t3xx-bench-update: how long a whole update takes against the simulated
// detector, compared with the time its bytes need on the wire, and what the
// updater spends on it in processor time and memory.
//
// The update runs in this process through the program's own code (serial
// port behind the versatile channel, protocol handler, update session,
// embedded firmware); t3xx-devsim runs as a separate program on a
// pseudo-terminal, so this process's processor time is the updater's alone.

#include <CLI/CLI.hpp>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "firmware/firmware_images.h"
#include "firmware/program_firmware.h"
#include "protocol/protocol_handler.h"
#include "update/session_sources.h"
#include "update/update_session.h"

namespace {

using Clock = std::chrono::steady_clock;

// The bootloader's start-up pause inside every update from application mode.
constexpr double kBootloaderPauseSeconds = 1.0;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Shows nothing; notes when the page loop began and when its last page was through.
class TimingView : public vek::UpdateView {
public:
    void appendLog(const char* text) override { log += text; }
    void showStep(unsigned) override {}
    void showProgress(int page, int, const char*, int) override {
        if (page == 0 && !started) {
            started = true;
            firstPageWall = Clock::now();
            firstPageCpu = processCpuSeconds();
        }
    }
    void showProgressFailed() override {}
    void alert(const char*) override {}
    void yield() override {
        lastPageWall = Clock::now();
        lastPageCpu = processCpuSeconds();
    }
    int firmwareIndex(int) override { return 0; }

    std::string log;
    bool started = false;
    Clock::time_point firstPageWall, lastPageWall;
    double firstPageCpu = 0.0, lastPageCpu = 0.0;
};

struct RunFigures {
    int pages = 0;
    double updateSeconds = 0.0;
    double cpuSeconds = 0.0;
    double wireSeconds = 0.0;
    double pageLoopSeconds = 0.0;
    double pageLoopCpuSeconds = 0.0;
};

// The number after "key": in the simulator's JSON report.
long long jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) throw std::runtime_error("the simulator's report has no " + key);
    return std::stoll(json.substr(at + key.size() + 3));
}

RunFigures runUpdate(const std::string& devsim, const std::string& model, int baud) {
    bench::ChildProcess sim({devsim, "--model", model, "--baud", std::to_string(baud)});
    const std::string port = sim.readLine(10000);

    vek::SerialPort serial;
    vek::VersatileChannel channel;
    channel.attachSerialPort(&serial);
    channel.setSerialSettings("38400,n,8,1");
    vek::VekProtocolHandler handler;
    handler.setChannel(&channel);
    TimingView view;
    FirmwareImages images(programCatalogue());
    vek::UpdateSession session(channel, handler, view, vek::catalogueImageSource(images));
    session.setOpenFailureReason(vek::serialOpenFailureReason(serial));

    const double cpuBefore = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    const vek::UpdateResult result = session.startUpdate(port.c_str());
    RunFigures figures;
    figures.updateSeconds = secondsSince(start);
    figures.cpuSeconds = processCpuSeconds() - cpuBefore;
    channel.close();

    const std::string report = sim.finish();
    if (result.outcome != vek::UpdateOutcome::Updated) {
        throw std::runtime_error(model + " update failed: " + result.message + "\n" + view.log);
    }
    figures.pages = result.pagesSent;
    const long long bytes = jsonNumber(report, "bytes_in") + jsonNumber(report, "bytes_out");
    figures.wireSeconds = baud > 0 ? static_cast<double>(bytes) * 10.0 / baud : 0.0;
    figures.pageLoopSeconds = std::chrono::duration<double>(view.lastPageWall - view.firstPageWall).count();
    figures.pageLoopCpuSeconds = view.lastPageCpu - view.firstPageCpu;
    return figures;
}

// What the command-line tool used for a whole update with line time off.
bench::Usage flashUsage(const std::string& flash, const std::string& devsim, const std::string& model) {
    bench::ChildProcess sim({devsim, "--model", model, "--baud", "0"});
    const std::string port = sim.readLine(10000);
    bench::ChildProcess tool({flash, "--accept-notice", "--port", port});
    tool.finish();
    sim.finish();
    if (tool.exitStatus() != 0) {
        throw std::runtime_error(flash + " ended with status " + std::to_string(tool.exitStatus()));
    }
    return tool.usage();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"t3xx-bench-update: whole updates against t3xx-devsim on a pseudo-terminal"};
    std::string devsim = T3XX_DEVSIM_PATH;
    std::string flash = T3XX_FLASH_PATH;
    std::vector<std::string> models{"T310", "T320"};
    int baud = 38400;
    bool overheadOnly = false;
    app.add_option("--devsim", devsim, "The simulator program")->capture_default_str();
    app.add_option("--flash", flash, "The command-line tool whose peak memory to measure (empty: skip)")
        ->capture_default_str();
    app.add_option("--model", models, "Models to update")->capture_default_str();
    app.add_option("--baud", baud, "Simulated line speed")->capture_default_str()->check(CLI::Range(1200, 1000000));
    app.add_flag("--overhead-only", overheadOnly, "Skip the updates with line time (for profiling)");
    CLI11_PARSE(app, argc, argv);

    try {
        programCatalogue().buildCatalogue();
        std::printf("Updates through a pseudo-terminal against %s\n\n", devsim.c_str());
        for (const std::string& model : overheadOnly ? std::vector<std::string>{} : models) {
            if (model == models.front()) {
                std::printf("line time simulated at %d baud (8N1):\n", baud);
                std::printf("%-6s %6s %10s %10s %16s %8s\n", "model", "pages", "update s", "wire s",
                            "(update-1s)/wire", "CPU %");
            }
            const RunFigures f = runUpdate(devsim, model, baud);
            std::printf("%-6s %6d %10.3f %10.3f %16.4f %8.2f\n", model.c_str(), f.pages, f.updateSeconds,
                        f.wireSeconds, (f.updateSeconds - kBootloaderPauseSeconds) / f.wireSeconds,
                        100.0 * f.cpuSeconds / f.updateSeconds);
            std::fflush(stdout);
        }

        std::printf("\nline time off (the updater's own overhead):\n");
        std::printf("%-6s %6s %10s %16s %16s\n", "model", "pages", "update s", "wall us/page", "CPU us/page");
        for (const std::string& model : models) {
            const RunFigures f = runUpdate(devsim, model, 0);
            std::printf("%-6s %6d %10.3f %16.1f %16.1f\n", model.c_str(), f.pages, f.updateSeconds,
                        1e6 * f.pageLoopSeconds / f.pages, 1e6 * f.pageLoopCpuSeconds / f.pages);
            std::fflush(stdout);
        }

        std::printf("\npeak resident memory of this process (updater in-process): %.1f MB\n",
                    static_cast<double>(bench::selfUsage().peakResidentKiB) / 1024.0);
        if (!flash.empty()) {
            const bench::Usage usage = flashUsage(flash, devsim, "T320");
            std::printf("%s, T320 update with line time off: peak resident memory %.1f MB, CPU %.3f s\n",
                        flash.c_str(), static_cast<double>(usage.peakResidentKiB) / 1024.0, usage.cpuSeconds);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "t3xx-bench-update: %s\n", error.what());
        return 1;
    }
    return 0;
}
