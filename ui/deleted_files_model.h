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

namespace verandol {

enum class ListColumn { RecordPosition, FileName, FileType, FileSize, CreateDate, LastModifyDate };
inline constexpr int kListColumnCount = static_cast<int>(kDeletedFileColumnCaptions.size());

QString ListColumnCaption(ListColumn column);
int ListColumnWidth(ListColumn column);

// The caption (column 0) and the five sub-items, as UTF-8 texts.
struct ListRow {
    std::array<std::string, kListColumnCount> cells;
    bool ticked = false;
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
    void Clear();
    void SetAllTicked(bool ticked);
    // Ascending and stable by the texts of one column; `compare` answers
    // negative when the first text goes first.
    template <class Compare>
    void SortByColumn(int column, Compare compare);

    const ListRow& Row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    int Count() const { return static_cast<int>(rows_.size()); }

private:
    void Reorder(const std::vector<std::uint32_t>& order);
    std::vector<ListRow> rows_;
};

template <class Compare>
void DeletedFilesModel::SortByColumn(int column, Compare compare) {
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
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const auto& a, const auto& b) { return compare(a.first, b.first) < 0; });
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (const auto& key : keys) order.push_back(key.second);
    Reorder(order);
}

}  // namespace verandol
