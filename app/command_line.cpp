// Kept apart from the windows: CLI11 must not meet the X11 macros that
// FLTK's headers bring in.
#include "app/command_line.h"

#include <CLI/CLI.hpp>

#include <string>

int parseCommandLine(int argc, char** argv, CommandLine& commandLine)
{
    static std::string port;
    port.clear();
    CLI::App cli{"Firmware updater for the T310 and T320 gas detectors.", "t3xx-update"};
    cli.add_option("--port", port,
                   "Serial port to select at start, ahead of the saved one: a device path such as "
                   "/dev/ttyUSB0, a /dev/serial/by-id/... link or a pseudo-terminal");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e) == 0 ? 0 : 2;
    }
    commandLine.port = port.empty() ? nullptr : port.c_str();
    return -1;
}
