// What the recovery worker needs of the list it recovers from.
#pragma once

#include <string>

namespace verandol {

// What the recovery worker reads of one row when it reaches that row.
struct RecoveryRowView {
    bool ticked = false;
    std::string caption;   // the record position text, as the list holds it
    std::string name;      // the "File Name" cell
    bool own_name = true;  // rb1: named after the file, else "File_" and the row index
    std::string folder;    // the output folder
    bool keep_folders = false;  // into the row's folder path below the output folder
    std::string row_folder;     // the "Folder" cell
};

// Called on the window's thread while the worker waits: ticks, the sort order,
// the folder and the naming may change while earlier rows are recovered, so
// each row is read afresh.
class RecoveryRowSource {
public:
    virtual ~RecoveryRowSource() = default;
    virtual int RowCount() const = 0;
    // An index past the end reads as an unticked row.
    virtual RecoveryRowView ReadRecoveryRow(int index) const = 0;
};

}  // namespace verandol
