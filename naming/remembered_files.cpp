#include "naming/remembered_files.h"

namespace verandol {

const char* NamedFromText(NamedFrom from) {
    switch (from) {
        case NamedFrom::Index: return "index";
        case NamedFrom::IndexSlack: return "index slack";
        case NamedFrom::FreeIndexBlock: return "free index block";
        case NamedFrom::Journal: return "journal";
        case NamedFrom::Content: return "content";
        case NamedFrom::Cluster: break;
    }
    return "cluster";
}

std::size_t RememberedFiles::AddIndexBlock(ByteSpan bytes, NamedFrom live) {
    const std::size_t before = files_.size();
    ForEachIndexBlockName(bytes, scratch_, units_, [&](const IndexedNameView& name) {
        if (name.figures.data_size <= 0) return;
        const NamedFrom from = name.from_slack && live == NamedFrom::Index ? NamedFrom::IndexSlack : live;
        Add({name.file_reference, name.parent_reference, std::u16string(name.name), name.figures, from});
    });
    return files_.size() - before;
}

void RememberedFiles::Add(RememberedFile file) {
    if (files_.size() >= most_ || file.name.empty()) return;
    files_.push_back(std::move(file));
}

}  // namespace verandol
