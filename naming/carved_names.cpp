#include "naming/carved_names.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "naming/content_name.h"
#include "text/date_time_text.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The extensions one carved format's files go by.
std::string_view Family(std::string_view extension) {
    if (extension == "jpeg" || extension == "jpe") return "jpg";
    if (extension == "tif") return "tiff";
    for (const std::string_view zip : {"zip", "docx", "xlsx", "pptx", "odt", "ods", "odp", "jar", "apk", "epub"})
        if (extension == zip) return "zip";
    return extension;
}

void Rename(DeletedFileRow& row, std::string name, NamedFrom from) {
    row.name = std::move(name);
    row.named_from = NamedFromText(from);
}

// The times a remembered entry carries, as the row shows them.
void SetTimes(DeletedFileRow& row, std::uint64_t created, std::uint64_t modified) {
    row.created_time = created;
    row.modified_time = modified;
    row.created_text = created ? NtfsTimeText(created) : std::string();
    row.modified_text = modified ? NtfsTimeText(modified) : std::string();
}

// Of two copies of one name, the one that says more: a copy that knows its
// folder, then the place that says most (a live entry before slack).
bool SaysMore(const RememberedFile& file, const RememberedFile& than) {
    if ((file.parent_reference != 0) != (than.parent_reference != 0)) return file.parent_reference != 0;
    return file.from < than.from;
}

// The one remembered file `row` can be, or null: of its length and type,
// its record given to another. Copies of one name and length are taken for
// one file, met in several places (a folder's index, its slack, a record's
// slack): the copy that says most gives the folder and times. A name a file
// still on the volume holds with that length is not given: the carved bytes
// may be an older copy of that file, or another file altogether.
// `by_size`: the remembered files ordered by data size, in the order met
// among those of one size.
const RememberedFile* IndexMatch(const DeletedFileRow& row, const std::string& extension, VolumeMemory& memory,
                                 const std::vector<const RememberedFile*>& by_size) {
    const RememberedFile* best = nullptr;
    std::vector<const RememberedFile*> held;
    const auto smaller = [](const RememberedFile* file, std::int64_t size) { return file->figures.data_size < size; };
    for (auto it = std::lower_bound(by_size.begin(), by_size.end(), row.size, smaller);
         it != by_size.end() && (*it)->figures.data_size == row.size; ++it) {
        const RememberedFile& file = **it;
        if (file.figures.allocated_size > 0 && file.figures.allocated_size < row.size) continue;
        if (!ExtensionFits(Utf16ToUtf8(file.name), extension)) continue;
        if (memory.StillHeld(file.file_reference)) {
            held.push_back(&file);
            continue;
        }
        if (best && best->name == file.name) {
            if (SaysMore(file, *best)) best = &file;
            continue;
        }
        if (best) return nullptr;  // two files it could be: neither name is given
        best = &file;
    }
    for (const RememberedFile* file : held)
        if (best && file->name == best->name) return nullptr;
    return best;
}

}  // namespace

bool ExtensionFits(std::string_view remembered_name, std::string_view extension) {
    const std::string own = FileExtension(remembered_name);
    if (own.size() < 2) return false;
    return Family(Lower(std::string_view(own).substr(1))) == Family(Lower(extension));
}

void NameCarvedRows(std::vector<DeletedFileRow>& rows, VolumeMemory& memory, const std::vector<JournalName>& journal,
                    ByteSource& volume) {
    std::vector<bool> journal_used(journal.size(), false);
    std::vector<const RememberedFile*> by_size;
    for (const RememberedFile& file : memory.Remembered().All()) by_size.push_back(&file);
    std::stable_sort(by_size.begin(), by_size.end(), [](const RememberedFile* a, const RememberedFile* b) {
        return a->figures.data_size < b->figures.data_size;
    });
    for (DeletedFileRow& row : rows) {
        if (!row.carved) continue;
        const std::string extension = row.type.size() > 1 ? row.type.substr(1) : std::string();
        if (const RememberedFile* file = IndexMatch(row, extension, memory, by_size)) {
            Rename(row, Utf16ToUtf8(file->name), file->from);
            row.type = FileExtension(row.name);
            row.parent_reference = file->parent_reference;
            // A copy found in no folder, its parent reference lost, says no folder.
            row.folder = file->parent_reference ? memory.PathOf(file->parent_reference) : std::string();
            SetTimes(row, file->figures.created_time, file->figures.modified_time);
            continue;
        }
        // The journal knows no sizes: only a type that one file alone had will do.
        std::optional<std::size_t> only;
        bool several = false;
        for (std::size_t i = 0; i < journal.size() && !several; ++i) {
            if (journal_used[i] || !ExtensionFits(Utf16ToUtf8(journal[i].name), extension) ||
                memory.StillHeld(journal[i].file_reference))
                continue;
            several = only.has_value();
            only = i;
        }
        if (only && !several) {
            const JournalName& name = journal[*only];
            journal_used[*only] = true;
            Rename(row, Utf16ToUtf8(name.name), NamedFrom::Journal);
            row.type = FileExtension(row.name);
            row.parent_reference = name.parent_reference;
            row.folder = memory.PathOf(name.parent_reference);
            SetTimes(row, 0, name.time);
            continue;
        }
        if (auto name = ContentName(volume, row.carved_extent, extension)) Rename(row, std::move(*name), NamedFrom::Content);
    }
}

}  // namespace verandol
