#include "firmware/firmware_catalogue.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kT310 = 310;
constexpr int kT320 = 320;
constexpr int kFirstEntryId = 1;
constexpr int kLastEntryId = 9;
constexpr int kNameIdOffset = 10;
const char* const kHexType = "Hexfile";

// Reads a decimal number the way scanf's %d does (leading blanks, optional
// sign), but refuses one that does not fit in an int instead of overflowing.
bool readNumber(const char*& text, int& value) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    value = static_cast<int>(number);
    text = end;
    return true;
}

bool readLiteral(const char*& text, char c) {
    if (*text != c) {
        return false;
    }
    ++text;
    return true;
}

}  // namespace

FirmwareCatalogue::FirmwareCatalogue(const ResourceStore& store) : resources_(store) {}

void FirmwareCatalogue::readVersion() {
    versionCode_ = 0;
    versionRevision_ = 0;
    const std::unique_ptr<char[]> version = resources_.loadString(0);
    if (!version) {
        versionStatus_ = versionAbsent;
        return;
    }
    // "V<major>.<minor>", optionally followed by "r<revision>"; anything
    // after the last number is ignored.
    const char* p = version.get();
    int major = 0;
    int minor = 0;
    if (!(readLiteral(p, 'V') && readNumber(p, major) && readLiteral(p, '.') && readNumber(p, minor))) {
        versionStatus_ = versionUnreadable;
        return;
    }
    int revision = 0;
    if (!(readLiteral(p, 'r') && readNumber(p, revision))) {
        revision = 0;
    }
    versionCode_ = major * 100 + minor;
    versionRevision_ = revision;
    versionStatus_ = versionRead;
}

void FirmwareCatalogue::buildCatalogue() {
    readVersion();
    t310_ = ModelEntries();
    t320_ = ModelEntries();
    for (int id = kFirstEntryId; id <= kLastEntryId; ++id) {
        const std::unique_ptr<char[]> description = resources_.loadString(id);
        if (!description) {
            break;
        }
        ModelEntries* entries = nullptr;
        if (std::strstr(description.get(), "T310") != nullptr) {
            entries = &t310_;
        } else if (std::strstr(description.get(), "T320") != nullptr) {
            entries = &t320_;
        } else {
            continue;
        }
        // An entry without a resource name is listed without a text, so that
        // choosing it reports a missing resource.
        const std::unique_ptr<char[]> name = resources_.loadString(id + kNameIdOffset);
        entries->descriptions.emplace_back(description.get());
        entries->resourceNames.emplace_back(name ? name.get() : "");
        entries->texts.push_back(
            name ? static_cast<const char*>(resources_.loadResource(name.get(), kHexType)) : nullptr);
    }
}

const FirmwareCatalogue::ModelEntries* FirmwareCatalogue::entriesOf(int model) const {
    switch (model) {
    case kT310:
        return &t310_;
    case kT320:
        return &t320_;
    default:
        return nullptr;
    }
}

int FirmwareCatalogue::entryCount(int model) const {
    const ModelEntries* entries = entriesOf(model);
    return entries ? static_cast<int>(entries->descriptions.size()) : 0;
}

const char* FirmwareCatalogue::firmwareDescription(int model, int index) const {
    if (index < 0 || index >= entryCount(model)) {
        return nullptr;
    }
    return entriesOf(model)->descriptions[static_cast<std::size_t>(index)].c_str();
}

const char* FirmwareCatalogue::resourceName(int model, int index) const {
    if (index < 0 || index >= entryCount(model)) {
        return nullptr;
    }
    return entriesOf(model)->resourceNames[static_cast<std::size_t>(index)].c_str();
}

const char* FirmwareCatalogue::firmwareText(int model, int index) const {
    if (index < 0 || index >= entryCount(model)) {
        return nullptr;
    }
    return entriesOf(model)->texts[static_cast<std::size_t>(index)];
}

void FirmwareCatalogue::logLine(const char* format, ...) const {
    if (!hooks_.logLine) {
        return;
    }
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length >= 0) {
        std::string line(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, args);
        hooks_.logLine(line.c_str());
    }
    va_end(args);
}

void FirmwareCatalogue::showResourceInfo() {
    static const struct {
        const char* name;
        const char* type;
    } probes[] = {
        {"T310_vXYY.a90", "Hexfile"},
        {"T320_vXYY.a90", "Hexfile"},
        {"T310_vXYY.bin", "Binfile"},
        {"T320_vXYY.bin", "Binfile"},
    };
    for (const auto& probe : probes) {
        const void* found = resources_.loadResource(probe.name, probe.type);
        if (found != nullptr) {
            logLine("%s: size = %d\n", probe.name, static_cast<int>(resources_.resourceSize(found)));
        }
    }
    for (const ModelEntries* entries : {&t310_, &t320_}) {
        for (std::size_t k = 0; k < entries->descriptions.size(); ++k) {
            const int number = static_cast<int>(k + 1);
            logLine("%i: %s\n", number, entries->descriptions[k].c_str());
            logLine("%i: %s\n", number, entries->resourceNames[k].c_str());
            logLine("%i: %p\n", number, static_cast<const void*>(entries->texts[k]));
        }
    }
}
