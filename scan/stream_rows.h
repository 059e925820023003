// A file's named data streams ("report.doc:Zone.Identifier") as rows of
// their own: each is a file's worth of bytes a person may want back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"
#include "scan/deleted_file_row.h"

namespace verandol {

struct StreamRow {
    DeletedFileRow row;
    ByteSpan data;  // the stream's $DATA attribute, within the record
};

// The named $DATA attributes of `record`, each as a row after `file` (the
// row of the record's own data): named "file:stream", typed by the
// stream's name or else by its first bytes, sized by the stream, with the
// file's times and folder. `volume` is read for the first bytes of a
// stream kept in clusters.
std::vector<StreamRow> StreamRowsOf(const DeletedFileRow& file, ByteSpan record, ByteSource& volume,
                                    std::int64_t cluster_size);

}  // namespace verandol
