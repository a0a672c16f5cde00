#pragma once

// The image each model's detectors are sent, prepared once before any
// session starts: the sessions then only read it, whichever thread they
// run on. The model is known only after identification, so an image is
// prepared for each model the firmware could be meant for.

#include <string>

#include "update/update_session.h"

class FirmwareCatalogue;

namespace vek::flash {

struct ModelImage {
    int model = 0;         // 310 or 320
    ImageBytes bytes;      // the whole image buffer; null when there is none
    int index = -1;        // the catalogue entry; -1 for a file
    std::string source;    // what is sent: resource name and description, or the file
    std::string problem;   // why bytes is null
    std::string warning;   // something the user must know about bytes (may be empty)
};

class FirmwareChoice {
public:
    // The catalogue's entry `variant` of each model (counted from 0), or
    // with variant -1 the GUI's default: the first T310 entry, the last
    // T320 entry. The catalogue must have been built.
    static FirmwareChoice fromCatalogue(const FirmwareCatalogue& catalogue, int variant);
    // An Intel HEX file read into each model's image buffer. A model whose
    // buffer the file does not fit gets the reader's error as its problem;
    // one whose page area the file leaves partly undefined gets a warning.
    static FirmwareChoice fromHexFile(const std::string& path);

    // 310 or 320; any other code gives an empty record.
    const ModelImage& forModel(int model) const;
    // True when at least one model has an image.
    bool anyImage() const { return t310_.bytes || t320_.bytes; }

private:
    ModelImage t310_;
    ModelImage t320_;
    ModelImage none_;
};

// The source a session asks for its image. It hands out the prepared image
// of the detected model; before that it tells the detector's log, through
// note, the image's warning or why there is none, and keeps the latter in
// *problem (owned by the caller, written only by the session's thread).
ImageSource preparedImageSource(const FirmwareChoice& choice,
                                std::function<void(const std::string& line)> note, std::string* problem);

// Bytes of the page area of a model's device: 126,976 for 310, 258,048 for 320.
int pageAreaBytes(int model);

}  // namespace vek::flash
