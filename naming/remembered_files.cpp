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
    // Judged before the name is copied: a volume's slack holds many copies of other sizes.
    if (name.figures.data_size <= 0 || !Wanted(name.figures.data_size)) return;
    Add({name.file_reference, name.parent_reference, std::u16string(name.name), name.figures, from});
}

void RememberedFiles::KeepOnlySizes(std::vector<std::int64_t> sizes) {
    std::sort(sizes.begin(), sizes.end());
    sizes_ = std::move(sizes);
}

bool RememberedFiles::Wanted(std::int64_t data_size) const {
    return files_.size() < most_ && (!sizes_ || std::binary_search(sizes_->begin(), sizes_->end(), data_size));
}

void RememberedFiles::Add(RememberedFile file) {
    if (file.name.empty() || !Wanted(file.figures.data_size)) return;
    files_.push_back(std::move(file));
}

}  // namespace verandol
