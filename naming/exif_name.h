// A photo's own name for itself: when it was taken and by which camera, as
// its EXIF block says ("2024-05-01 14.03.22 Canon EOS 80D").
#pragma once

#include <optional>
#include <string>

#include "ntfs/byte_reader.h"

namespace verandol {

struct ExifFacts {
    std::string taken;  // DateTimeOriginal as written, "YYYY:MM:DD HH:MM:SS"
    std::string model;  // the camera model, trimmed; may be empty
};

// The facts of the EXIF block of a JPEG (its APP1 segment, among the
// segments before the image data) or of a TIFF file's first IFD; nullopt
// when there is no date taken that reads as one.
std::optional<ExifFacts> ReadExifFacts(ByteSpan file_head);

// "2024-05-01 14.03.22 Canon EOS 80D", or the date alone without a model.
std::string ExifNameStem(const ExifFacts& facts);

}  // namespace verandol
