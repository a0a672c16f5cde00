#include "cli/firmware_listing.h"

#include <openssl/evp.h>

#include <cstdio>
#include <stdexcept>

#include "firmware/firmware_catalogue.h"
#include "firmware/resource_store.h"

namespace vek::flash {

std::string sha256Hex(const void* data, std::size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 could not be computed");
    }
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string firmwareListing(const FirmwareCatalogue& catalogue, const ResourceStore& store) {
    const auto version = store.string(0);
    std::string listing = "Embedded firmware version: " + (version ? std::string(*version) : std::string("none")) + "\n";
    char line[512];
    std::snprintf(line, sizeof line, "%-5s  %-5s  %8s  %-64s  %-18s  %s\n", "index", "model", "bytes", "sha256",
                  "resource", "description");
    listing += line;
    for (int model : {310, 320}) {
        for (int index = 0; index < catalogue.entryCount(model); ++index) {
            const char* text = catalogue.firmwareText(model, index);
            const std::size_t size = text != nullptr ? static_cast<std::size_t>(catalogue.resourceSize(text)) : 0;
            const std::string sum = text != nullptr ? sha256Hex(text, size) : std::string("(resource missing)");
            std::snprintf(line, sizeof line, "%-5d  T%-4d  %8zu  %-64s  %-18s  %s\n", index, model, size, sum.c_str(),
                          catalogue.resourceName(model, index), catalogue.firmwareDescription(model, index));
            listing += line;
        }
    }
    return listing;
}

bool parseEntryName(const std::string& text, int& model, int& index) {
    std::size_t pos = 0;
    if (!text.empty() && (text[0] == 'T' || text[0] == 't')) pos = 1;
    const std::size_t colon = text.find(':', pos);
    if (colon == std::string::npos) return false;
    const std::string modelText = text.substr(pos, colon - pos);
    const std::string indexText = text.substr(colon + 1);
    if (modelText != "310" && modelText != "320") return false;
    if (indexText.empty() || indexText.size() > 4 || indexText.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    model = std::stoi(modelText);
    index = std::stoi(indexText);
    return true;
}

}  // namespace vek::flash
