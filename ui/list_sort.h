// How a click on a column header orders the list: names and other texts by
// the list's text compare, sizes, dates and shares by their values, and a
// second click on the same header the other way round.
#pragma once

#include <functional>
#include <string_view>

namespace verandol {

class DeletedFilesModel;

// Which way the next click on a header sorts: ascending, unless the same
// column was sorted ascending by the click before.
class SortDirection {
public:
    // The direction for a click on `column`, remembered for the next one.
    bool DescendingFor(int column);
    // After the rows were replaced: the next click sorts ascending.
    void Reset() { column_ = -1; }

private:
    int column_ = -1;
    bool descending_ = false;
};

// Sorts `model` by `column`. Columns that hold texts use `compare_texts`
// (negative when the first text goes first).
void SortListColumn(DeletedFilesModel& model, int column, bool descending,
                    const std::function<int(std::string_view, std::string_view)>& compare_texts);

}  // namespace verandol
