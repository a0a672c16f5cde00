#include "firmware/program_firmware.h"

#include "firmware/embedded_resources.h"

FirmwareCatalogue& programCatalogue() {
    static FirmwareCatalogue catalogue(embeddedResources());
    return catalogue;
}

FirmwareImages& programImages() {
    static FirmwareImages images(programCatalogue());
    return images;
}

void connectProgramFirmwareReports(const FirmwareReportHooks& hooks) {
    programCatalogue().setReportHooks(hooks);
    programImages().setReportHooks(hooks);
}
