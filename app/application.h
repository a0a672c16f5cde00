#pragma once

#include <functional>

class FirmwareCatalogue;

// The window title, "T310 / T320 Update V%d.%d[r%d]".
extern char titleText[64];

// 0 when the catalogue has a usable version; otherwise shows the reason
// with alert and returns the exit code 1.
int checkFirmwareVersion(const FirmwareCatalogue& catalogue, const std::function<void(const char*)>& alert);

// The whole program: start-up, the event loop until no window is shown,
// and the port preference saved. Returns the exit code.
int runApplication(int argc, char** argv);
