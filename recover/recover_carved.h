// Copying a carved file out: its bytes as the carve pass found them.
#pragma once

#include <atomic>
#include <string>

#include "carve/carve_check.h"
#include "ntfs/byte_source.h"
#include "recover/recover_file.h"

namespace verandol {

// Copies the extent's bytes from `volume` through a temporary file, as
// RecoverFile does. Written only when the content vouched for the file
// (verified or complete) and the device delivered every byte; otherwise
// Incomplete, still written, with the reason.
RecoverResult RecoverCarvedFile(ByteSource& volume, const CarvedExtent& extent, const std::string& output_path,
                                const std::atomic<bool>* stop);

}  // namespace verandol
