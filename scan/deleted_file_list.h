// What the scan worker needs of the list it fills.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/deleted_file_row.h"

namespace verandol {

// Called on the window's thread while the worker waits, so rows land in
// record order and the worker never touches the list itself.
class DeletedFileList {
public:
    virtual ~DeletedFileList() = default;
    // Appends the rows after the present ones, unticked, and updates the count shown.
    virtual void AddDeletedFileRow(std::vector<DeletedFileRow> rows) = 0;
    // After the walk: the folder of every row added since the list was
    // emptied, in the order they were added.
    virtual void SetFolders(std::vector<std::string> folders) { (void)folders; }
    // After the folders: the rows (by their place in the order they were
    // added) that a newer copy of the same record replaced, to be removed.
    virtual void WithdrawRows(std::vector<std::uint32_t> places) { (void)places; }
    // After the carve pass: carved rows the volume's memory or their content
    // named, each taking the place (in the order rows were added) of the row
    // it sent under its cluster's name; the row keeps its place and its tick.
    virtual void RenameRows(std::vector<std::uint32_t> places, std::vector<DeletedFileRow> rows) {
        (void)places;
        (void)rows;
    }
};

}  // namespace verandol
