// t3xx-resgen: turns the resource manifest into sources that compile the
// resources into the program.
//
//   t3xx-resgen --manifest resources.manifest --blob FILE=PATH ...
//               --asm resources.S --table resource_table.cpp
//
// The blobs go into an assembler file that pulls each file in with
// `.incbin`, so a few megabytes of firmware cost the assembler a fraction of
// a second instead of the C++ compiler minutes over a giant array. The
// string table and the list of blobs go into a small C++ file in the layout
// of firmware/embedded_resource_table.h.

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct StringEntry {
    int id;
    std::string text;
};

struct BlobEntry {
    std::string name;
    std::string type;
    std::string file;
    std::string path;
};

struct Manifest {
    std::vector<StringEntry> strings;
    std::vector<BlobEntry> blobs;
};

class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The quoted text at the start of `rest`, with \" and \\ unescaped.
std::string parseQuoted(std::istringstream& rest, const std::string& where) {
    rest >> std::ws;
    if (rest.get() != '"') {
        throw ManifestError(where + ": the text must be in double quotes");
    }
    std::string text;
    for (int c = rest.get(); c != '"'; c = rest.get()) {
        if (c == EOF) {
            throw ManifestError(where + ": the closing double quote is missing");
        }
        if (c == '\\') {
            c = rest.get();
            if (c != '"' && c != '\\') {
                throw ManifestError(where + ": only \\\" and \\\\ may follow a backslash");
            }
        }
        text.push_back(static_cast<char>(c));
    }
    return text;
}

void expectLineEnd(std::istringstream& rest, const std::string& where) {
    std::string extra;
    if (rest >> extra) {
        throw ManifestError(where + ": unexpected \"" + extra + "\" at the end of the line");
    }
}

Manifest readManifest(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw ManifestError("cannot open the manifest " + path);
    }
    Manifest manifest;
    std::set<int> ids;
    std::set<std::string> blobKeys;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + ":" + std::to_string(number);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream rest(line);
        std::string keyword;
        if (!(rest >> keyword) || keyword[0] == '#') {
            continue;
        }
        if (keyword == "string") {
            long id = -1;
            if (!(rest >> id) || id < 0 || id > 65535) {
                throw ManifestError(where + ": a string needs an id from 0 to 65535");
            }
            if (!ids.insert(static_cast<int>(id)).second) {
                throw ManifestError(where + ": string id " + std::to_string(id) + " is defined twice");
            }
            std::string text = parseQuoted(rest, where);
            expectLineEnd(rest, where);
            manifest.strings.push_back({static_cast<int>(id), text});
        } else if (keyword == "blob") {
            BlobEntry blob;
            if (!(rest >> blob.name >> blob.type >> blob.file)) {
                throw ManifestError(where + ": a blob needs a name, a type and a file");
            }
            expectLineEnd(rest, where);
            // Names and types are looked up without regard to case.
            if (!blobKeys.insert(upper(blob.name) + '\n' + upper(blob.type)).second) {
                throw ManifestError(where + ": blob " + blob.name + " of type " + blob.type +
                                    " is defined twice");
            }
            manifest.blobs.push_back(blob);
        } else {
            throw ManifestError(where + ": unknown keyword \"" + keyword + "\" (expected string or blob)");
        }
    }
    return manifest;
}

// A C++ string literal holding exactly `text`.
std::string cppLiteral(const std::string& text) {
    std::string literal = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            literal.push_back(static_cast<char>(c));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", c);
            literal += escaped;
        }
    }
    return literal + "\"";
}

// An assembler string holding a file path.
std::string asmLiteral(const std::string& text) {
    std::string literal = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            literal.push_back('\\');
        }
        literal.push_back(c);
    }
    return literal + "\"";
}

std::string symbolOf(std::size_t index) { return "t3xx_resource_blob_" + std::to_string(index); }

std::string assemblerSource(const Manifest& manifest, const std::string& manifestName) {
    std::ostringstream out;
    out << "/* Generated by t3xx-resgen from " << manifestName << ". Do not edit. */\n";
    out << "\t.section .rodata.t3xx_resources,\"a\",%progbits\n";
    for (std::size_t i = 0; i < manifest.blobs.size(); ++i) {
        const BlobEntry& blob = manifest.blobs[i];
        const std::string symbol = symbolOf(i);
        out << "\n/* " << blob.name << " (" << blob.type << ") */\n"
            << "\t.balign 16\n"
            << "\t.globl " << symbol << "\n"
            << "\t.hidden " << symbol << "\n"
            << "\t.type " << symbol << ", %object\n"
            << symbol << ":\n"
            << "\t.incbin " << asmLiteral(blob.path) << "\n"
            << ".L" << symbol << "_end:\n"
            << "\t.size " << symbol << ", .L" << symbol << "_end - " << symbol << "\n"
            << "\t.balign 8\n"
            << "\t.globl " << symbol << "_size\n"
            << "\t.hidden " << symbol << "_size\n"
            << "\t.type " << symbol << "_size, %object\n"
            << symbol << "_size:\n"
            << "\t.quad .L" << symbol << "_end - " << symbol << "\n"
            << "\t.size " << symbol << "_size, 8\n";
    }
    out << "\n\t.section .note.GNU-stack,\"\",%progbits\n";
    return out.str();
}

std::string tableSource(const Manifest& manifest, const std::string& manifestName) {
    std::ostringstream out;
    out << "// Generated by t3xx-resgen from " << manifestName << ". Do not edit.\n"
        << "#include \"firmware/embedded_resource_table.h\"\n\n";
    if (!manifest.blobs.empty()) {
        out << "extern \"C\" {\n";
        for (std::size_t i = 0; i < manifest.blobs.size(); ++i) {
            out << "extern const unsigned char " << symbolOf(i) << "[];\n"
                << "extern const std::uint64_t " << symbolOf(i) << "_size;\n";
        }
        out << "}\n\n";
    }
    // Empty tables still need one element; the counts say what is real.
    out << "const EmbeddedString embeddedStrings[] = {\n";
    for (const StringEntry& entry : manifest.strings) {
        out << "    {" << entry.id << ", " << cppLiteral(entry.text) << ", " << entry.text.size() << "},\n";
    }
    if (manifest.strings.empty()) {
        out << "    {0, nullptr, 0},\n";
    }
    out << "};\nconst std::size_t embeddedStringCount = " << manifest.strings.size() << ";\n\n";
    out << "const EmbeddedBlob embeddedBlobs[] = {\n";
    for (std::size_t i = 0; i < manifest.blobs.size(); ++i) {
        const BlobEntry& blob = manifest.blobs[i];
        out << "    {" << cppLiteral(blob.name) << ", " << cppLiteral(blob.type) << ", " << symbolOf(i) << ", &"
            << symbolOf(i) << "_size},\n";
    }
    if (manifest.blobs.empty()) {
        out << "    {nullptr, nullptr, nullptr, nullptr},\n";
    }
    out << "};\nconst std::size_t embeddedBlobCount = " << manifest.blobs.size() << ";\n";
    return out.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Turns the resource manifest into an assembler file with the blobs and a C++ table."};
    std::string manifestPath;
    std::vector<std::string> blobFiles;
    std::string asmPath;
    std::string tablePath;
    app.add_option("--manifest", manifestPath, "the resource manifest")->required();
    app.add_option("--blob", blobFiles, "FILE=PATH: where the manifest's blob file FILE is");
    app.add_option("--asm", asmPath, "the assembler file to write")->required();
    app.add_option("--table", tablePath, "the C++ table to write")->required();
    CLI11_PARSE(app, argc, argv);

    try {
        std::map<std::string, std::string> paths;
        for (const std::string& mapping : blobFiles) {
            const std::size_t equals = mapping.find('=');
            if (equals == std::string::npos || equals == 0) {
                throw std::runtime_error("--blob expects FILE=PATH, got \"" + mapping + "\"");
            }
            paths[mapping.substr(0, equals)] = mapping.substr(equals + 1);
        }
        Manifest manifest = readManifest(manifestPath);
        std::uintmax_t total = 0;
        for (BlobEntry& blob : manifest.blobs) {
            const auto found = paths.find(blob.file);
            if (found == paths.end()) {
                throw std::runtime_error("no --blob option says where the file " + blob.file + " of blob " +
                                         blob.name + " is");
            }
            std::error_code error;
            const std::filesystem::path path = std::filesystem::absolute(found->second);
            const std::uintmax_t size = std::filesystem::file_size(path, error);
            if (error) {
                throw std::runtime_error("cannot read " + path.string() + " for blob " + blob.name + ": " +
                                         error.message());
            }
            blob.path = path.string();
            total += size;
        }
        const std::string manifestName = std::filesystem::path(manifestPath).filename().string();
        writeFile(asmPath, assemblerSource(manifest, manifestName));
        writeFile(tablePath, tableSource(manifest, manifestName));
        std::cout << "t3xx-resgen: " << manifest.strings.size() << " strings, " << manifest.blobs.size()
                  << " blobs, " << total << " bytes\n";
    } catch (const std::exception& error) {
        std::cerr << "t3xx-resgen: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
