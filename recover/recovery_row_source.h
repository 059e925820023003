// What the recovery worker needs of the list it recovers from.
#pragma once

#include <cstdint>
#include <string>

#include "carve/carve_check.h"
#include "disk/found_geometry.h"

namespace verandol {

// A row's identity in the list: it stays with the row while the list is
// sorted or filtered, until the next scan replaces the rows.
using RowId = std::uint32_t;

// What the recovery worker reads of one row when it reaches that row.
struct RecoveryRowView {
    bool ticked = false;
    std::string caption;   // the record position text, as the list holds it
    std::string name;      // the "File Name" cell
    bool own_name = true;  // rb1: named after the file, else "File_" and the row number
    std::string folder;    // the output folder
    bool keep_folders = false;  // into the row's folder path below the output folder
    std::string row_folder;     // the "Folder" cell
    // A row the deep scan found: its position is a byte offset on the
    // volume, and `found` is the geometry its own volume had.
    bool found_deep = false;
    FoundGeometry found;
    // A row the carve pass found: its bytes and its content's verdict, and
    // its type ("." and the extension), which names the folder it goes to
    // when it has none of its own.
    bool carved = false;
    CarvedExtent carved_extent{};
    std::string type{};
    // The file gets the modification and access times its record holds.
    bool keep_times = true;
};

// Called on the window's thread while the worker waits: ticks, the folder
// and the naming may change while earlier rows are recovered, so each row is
// read afresh, by its identity, since a sort may move it meanwhile.
class RecoveryRowSource {
public:
    virtual ~RecoveryRowSource() = default;
    // A row no longer in the list reads as unticked.
    virtual RecoveryRowView ReadRecoveryRow(RowId row) const = 0;
};

}  // namespace verandol
