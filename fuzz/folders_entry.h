#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input is a run of 1 KiB MFT records, numbered from 16 on: the folder
// records among them are gathered as a scan gathers them, and the folder of
// every record's file name is resolved and turned into kept folders. The
// first record also serves as record 6, the cluster bitmap's, over a volume
// made of the input itself, and every record's $DATA is counted against it.
void FuzzFolders(ByteSpan input);

}  // namespace verandol::fuzz
