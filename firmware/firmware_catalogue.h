#pragma once

// The catalogue of the firmware images the program carries, read from the
// resource string table: the version of the embedded firmware and, per model,
// the entries the user chooses from (description, resource name, the
// resource's Intel HEX text).
//
// String 0 is the version ("V3.46" or "V3.46r2"); entry i (1 to 9) is
// description i with resource name i + 10. A description naming "T310" or
// "T320" files the entry under that model; the first missing description
// ends the catalogue.

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/msw_resource_handler.h"
#include "firmware/report_hooks.h"
#include "firmware/resource_store.h"

class FirmwareCatalogue {
public:
    // Version status before buildCatalogue and for an unreadable version.
    static constexpr int versionUnreadable = -1;
    static constexpr int versionAbsent = 0;
    static constexpr int versionRead = 1;

    // The store must outlive the catalogue.
    explicit FirmwareCatalogue(const ResourceStore& store);
    FirmwareCatalogue(const FirmwareCatalogue&) = delete;
    FirmwareCatalogue& operator=(const FirmwareCatalogue&) = delete;

    // Reads the version and the entries; a second call starts afresh.
    void buildCatalogue();

    // 1 version read, 0 string 0 absent, -1 unreadable (or not built yet).
    int versionStatus() const { return versionStatus_; }
    // major * 100 + minor; 0 when absent or unreadable.
    int versionCode() const { return versionCode_; }
    int versionRevision() const { return versionRevision_; }

    // Number of entries of a model (310 or 320); 0 for any other code.
    int entryCount(int model) const;
    // The entry's description; null for an unknown model or index. The text
    // belongs to the catalogue and stays valid while it lives.
    const char* firmwareDescription(int model, int index) const;
    // The entry's resource name, null as above.
    const char* resourceName(int model, int index) const;
    // The entry's Intel HEX text (not zero-terminated; its length is
    // resourceSize), or null for an unknown model or index or a resource
    // that is not there.
    const char* firmwareText(int model, int index) const;
    // Size of a text returned by firmwareText, 0 for anything else.
    std::int32_t resourceSize(const void* text) const { return resources_.resourceSize(text); }

    // Writes the resource probes and every entry to the log hook.
    void showResourceInfo();

    void setReportHooks(FirmwareReportHooks hooks) { hooks_ = std::move(hooks); }

private:
    struct ModelEntries {
        std::vector<std::string> descriptions;
        std::vector<std::string> resourceNames;
        std::vector<const char*> texts;
    };

    const ModelEntries* entriesOf(int model) const;
    void readVersion();
    void logLine(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    MSWResourceHandler resources_;
    int versionCode_ = 0;
    int versionRevision_ = 0;
    int versionStatus_ = versionUnreadable;
    ModelEntries t310_;
    ModelEntries t320_;
    FirmwareReportHooks hooks_;
};
