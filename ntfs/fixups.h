// Validation of an MFT file record and its update-sequence fixups.
#pragma once

#include "ntfs/byte_reader.h"

namespace verandol {

// Accepts the record only if it begins with "FILE" and every protected
// 512-byte stride ends in the update sequence number; then puts the saved
// bytes back in place. False means the record is not usable: a never-used or
// bad record, a torn write, or a header whose array does not fit the buffer.
// Nothing outside `record` is read or written.
bool ApplyFixups(MutableByteSpan record);

// The same for a folder's index block, which begins with "INDX" and is
// protected the same way.
bool ApplyIndexBlockFixups(MutableByteSpan block);

// True when the buffer begins with the four letters "FILE".
bool HasFileSignature(ByteSpan record);

// True when the record's flags word is 0: neither in use nor a directory,
// nor any other flag set. The word lies before the first protected stride
// end, so it can be tested before the fixups.
bool IsDeletedFileRecord(ByteSpan record);

// True when the flags word says in use and nothing else: a file, not a folder.
bool IsFileInUseRecord(ByteSpan record);

}  // namespace verandol
