#pragma once

// What the command line asks for. Without arguments the program starts as
// it always did.
struct CommandLine {
    // A port to select ahead of the saved one ("--port NAME"); null if none.
    const char* port = nullptr;
};

// Reads the command line. Returns -1 to go on, otherwise the exit code
// (0 after --help, 2 for a bad argument, with a message on stderr). The
// texts in commandLine stay valid until the next call.
int parseCommandLine(int argc, char** argv, CommandLine& commandLine);
