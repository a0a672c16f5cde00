#pragma once

// The program's own firmware catalogue and image buffers, built on the
// resources compiled into the executable. Both are created on first use and
// live until the program ends; the catalogue still has to be built.
//
// Code that needs its own buffers (for instance one update session among
// several) makes its own FirmwareImages on programCatalogue().

#include "firmware/firmware_catalogue.h"
#include "firmware/firmware_images.h"
#include "firmware/report_hooks.h"

FirmwareCatalogue& programCatalogue();
FirmwareImages& programImages();
// Routes the log lines and alerts of both to the program's views.
void connectProgramFirmwareReports(const FirmwareReportHooks& hooks);
