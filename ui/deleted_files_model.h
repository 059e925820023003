// The rows of ListView1: one flat vector, so 200,000 deleted files stay cheap.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>

#include "scan/deleted_file_row.h"
#include "scan/row_filter.h"

namespace verandol {

// The six designed columns, then the folder, the recoverable share,
// whether the file is deleted (shown only when files in use are listed),
// the kind of file its type says, and how far a carved file's content
// vouches for it (shown once free space has been carved).
enum class ListColumn {
    RecordPosition, FileName, FileType, FileSize, CreateDate, LastModifyDate, Folder, Recoverable, Deleted, Kind,
    Check
};
// The designed columns, all sorted as text.
inline constexpr int kListColumnCount = static_cast<int>(kDeletedFileColumnCaptions.size());
inline constexpr int kShownColumnCount = static_cast<int>(ListColumn::Check) + 1;

QString ListColumnCaption(ListColumn column);
int ListColumnWidth(ListColumn column);

// The caption (column 0), the five sub-items, the folder and the share
// ("76%", empty when unknown), as UTF-8 texts.
struct ListRow {
    std::array<std::string, kShownColumnCount> cells;
    bool ticked = false;
    std::int64_t size = 0;
    int recoverable = DeletedFileRow::kRecoverableUnknown;
    std::uint32_t ordinal = 0;  // arrival order in this scan: the row's identity, and its folder's key
    // Found by the deep scan, read with its own volume's geometry.
    bool found_deep = false;
    FoundGeometry found;
    // Found by the carve pass: its bytes and its content's verdict.
    bool carved = false;
    CarvedExtent carved_extent{};
    // The NTFS times behind the two date cells, which sort by them.
    std::uint64_t created_time = 0;
    std::uint64_t modified_time = 0;

    bool InUse() const { return cells[static_cast<std::size_t>(ListColumn::Deleted)] == "no"; }
};

// The ticked rows of a whole scan: how many, their data's bytes, and how
// many of them the filter hides.
struct TickedTotals {
    int files = 0;
    std::int64_t bytes = 0;
    int hidden = 0;
};

class DeletedFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // New rows arrive unticked, after the present ones.
    void AppendRows(std::vector<DeletedFileRow> rows);
    // The folders of every row this scan appended, in arrival order.
    void SetFolders(std::vector<std::string> folders);
    // Removes the rows that arrived at these places (a newer copy of the
    // same record replaced them); the other rows keep their ordinals.
    void WithdrawRows(const std::vector<std::uint32_t>& ordinals);
    // Gives the rows that arrived at these places the name, type, times and
    // folder of `rows` (the same files, named later); each keeps its place,
    // its tick and its figures.
    void RenameRows(const std::vector<std::uint32_t>& ordinals, std::vector<DeletedFileRow> rows);
    void Clear();
    // Ticks the rows shown of deleted files, or unticks every row shown:
    // a file still in use is ticked only by hand.
    void SetAllTicked(bool ticked);
    // Whether the rows shown hold a deleted file and all those are ticked.
    bool AllShownTicked() const;
    TickedTotals Ticked() const;
    // The ordinals of the rows shown, or of every row, in their order.
    std::vector<std::uint32_t> Ordinals(bool hidden_too) const;
    // Shows only the rows the filter accepts (an empty filter shows all);
    // Row() and Count() then speak of the rows shown.
    void SetFilter(RowFilter filter);
    const RowFilter& Filter() const { return filter_; }
    // Every row of the scan, shown or not, and those whose data is all there.
    int TotalCount() const { return static_cast<int>(rows_.size()); }
    int RecoverableCount() const { return recoverable_count_; }
    // The rows of deleted files whose clusters nothing could judge.
    int UnknownShareCount() const { return unknown_count_; }
    // The rows of deleted files, as opposed to files still in use.
    int DeletedCount() const { return deleted_count_; }
    // Ascending by the recoverable share, unknown first (or the reverse).
    void SortByRecoverable(bool descending = false);
    // Stable by the texts of one column, ascending unless `descending`;
    // `compare` answers negative when the first text goes first.
    template <class Compare>
    void SortByColumn(int column, Compare compare, bool descending = false);
    // Stable by a value of the rows: `less` orders two rows ascending.
    template <class Less>
    void SortRows(Less less, bool descending);

    const ListRow& Row(int index) const { return rows_[Map(index)]; }
    int Count() const { return filtered_ ? static_cast<int>(shown_.size()) : TotalCount(); }
    // The row that arrived `ordinal`-th in this scan, wherever a sort has put
    // it and whether the filter shows it; null when there is none.
    const ListRow* RowByOrdinal(std::uint32_t ordinal) const {
        return ordinal < places_.size() && places_[ordinal] != kNoPlace ? &rows_[places_[ordinal]] : nullptr;
    }

private:
    std::size_t Map(int index) const {
        return filtered_ ? shown_[static_cast<std::size_t>(index)] : static_cast<std::size_t>(index);
    }
    bool Accepts(const ListRow& row) const;
    // Adds (`step` 1) or takes away (-1) a row's part in the counts.
    void CountRow(bool deleted, int recoverable, bool carved, int step);
    void RebuildShown();
    void Reorder(const std::vector<std::uint32_t>& order);
    int deleted_count_ = 0;
    std::vector<ListRow> rows_;
    // For each ordinal, the row's index in rows_ (kNoPlace once withdrawn).
    static constexpr std::uint32_t kNoPlace = UINT32_MAX;
    std::vector<std::uint32_t> places_;
    // With a filter, the indexes into rows_ of the rows shown, in order.
    std::vector<std::uint32_t> shown_;
    bool filtered_ = false;
    RowFilter filter_;
    int recoverable_count_ = 0;
    int unknown_count_ = 0;
};

template <class Less>
void DeletedFilesModel::SortRows(Less less, bool descending) {
    std::vector<std::uint32_t> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    // Equal rows keep their order either way.
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? less(rows_[b], rows_[a]) : less(rows_[a], rows_[b]);
    });
    Reorder(order);
}

template <class Compare>
void DeletedFilesModel::SortByColumn(int column, Compare compare, bool descending) {
    // The column's texts are copied into one buffer and sorted there as
    // views beside their row numbers: comparing in place would reach into a
    // scattered row for every comparison, and moving whole rows costs six
    // strings a swap.
    const auto cell = static_cast<std::size_t>(column);
    std::size_t total = 0;
    for (const ListRow& row : rows_) total += row.cells[cell].size();
    std::string texts;
    texts.reserve(total);
    for (const ListRow& row : rows_) texts += row.cells[cell];
    std::vector<std::pair<std::string_view, std::uint32_t>> keys;
    keys.reserve(rows_.size());
    std::size_t offset = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const std::size_t length = rows_[i].cells[cell].size();
        keys.emplace_back(std::string_view(texts).substr(offset, length), static_cast<std::uint32_t>(i));
        offset += length;
    }
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return descending ? compare(b.first, a.first) < 0 : compare(a.first, b.first) < 0;
    });
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (const auto& key : keys) order.push_back(key.second);
    Reorder(order);
}

}  // namespace verandol
