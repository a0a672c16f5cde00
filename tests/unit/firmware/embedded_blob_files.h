#pragma once

// The firmware files the build embedded, as the firmware build lists them.

#include <map>
#include <sstream>
#include <string>

#include "firmware_test_support.h"

namespace firmware_test {

// The files the build embedded, by file name as the manifest gives it.
inline std::map<std::string, std::string> embeddedBlobFiles() {
    std::map<std::string, std::string> files;
    std::istringstream list(readFile(T3XX_BLOB_FILE_LIST));
    std::string line;
    while (std::getline(list, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            files[line.substr(0, tab)] = line.substr(tab + 1);
        }
    }
    return files;
}

}  // namespace firmware_test
