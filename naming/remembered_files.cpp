#include "naming/remembered_files.h"

#include <algorithm>

#include "naming/stale_file_names.h"

namespace verandol {

const char* NamedFromText(NamedFrom from) {
    switch (from) {
        case NamedFrom::Index: return "index";
        case NamedFrom::IndexSlack: return "index slack";
        case NamedFrom::FreeIndexBlock: return "free index block";
        case NamedFrom::RecordSlack: return "record slack";
        case NamedFrom::Journal: return "journal";
        case NamedFrom::Content: return "content";
        case NamedFrom::Cluster: break;
    }
    return "cluster";
}

std::size_t RememberedFiles::AddIndexBlock(ByteSpan bytes, NamedFrom live) {
    const std::size_t before = files_.size();
    const NamedFrom stale = live == NamedFrom::Index ? NamedFrom::IndexSlack : live;
    ForEachIndexBlockName(
        bytes, scratch_, units_, [&](const IndexedNameView& name) { Keep(name, live); },
        [&](ByteSpan block, std::size_t from, std::size_t to) { AddSlack(block, from, to, stale); });
    return files_.size() - before;
}

std::size_t RememberedFiles::AddSlack(ByteSpan bytes, std::size_t from, std::size_t to, NamedFrom from_place) {
    const std::size_t before = files_.size();
    ForEachStaleFileName(bytes, from, to, units_, [&](const IndexedNameView& name) { Keep(name, from_place); });
    return files_.size() - before;
}

void RememberedFiles::Keep(const IndexedNameView& name, NamedFrom from) {
    if (name.figures.data_size <= 0) return;
    Add({name.file_reference, name.parent_reference, std::u16string(name.name), name.figures, from});
}

void RememberedFiles::KeepOnlySizes(std::vector<std::int64_t> sizes) {
    std::sort(sizes.begin(), sizes.end());
    sizes_ = std::move(sizes);
}

void RememberedFiles::Add(RememberedFile file) {
    if (files_.size() >= most_ || file.name.empty()) return;
    if (sizes_ && !std::binary_search(sizes_->begin(), sizes_->end(), file.figures.data_size)) return;
    files_.push_back(std::move(file));
}

}  // namespace verandol
