#include "ui/list_sort.h"

#include "ui/deleted_files_model.h"

namespace verandol {

bool SortDirection::DescendingFor(int column) {
    descending_ = column == column_ && !descending_;
    column_ = column;
    return descending_;
}

void SortListColumn(DeletedFilesModel& model, int column, bool descending,
                    const std::function<int(std::string_view, std::string_view)>& compare_texts) {
    switch (static_cast<ListColumn>(column)) {
        case ListColumn::FileSize:
            return model.SortRows([](const ListRow& a, const ListRow& b) { return a.size < b.size; }, descending);
        // By the NTFS times themselves: the shown texts follow the locale's
        // date format, which need not run from years down to seconds.
        case ListColumn::CreateDate:
            return model.SortRows([](const ListRow& a, const ListRow& b) { return a.created_time < b.created_time; },
                                  descending);
        case ListColumn::LastModifyDate:
            return model.SortRows(
                [](const ListRow& a, const ListRow& b) { return a.modified_time < b.modified_time; }, descending);
        // "100%" after "9%".
        case ListColumn::Recoverable: return model.SortByRecoverable(descending);
        default: return model.SortByColumn(column, compare_texts, descending);
    }
}

}  // namespace verandol
