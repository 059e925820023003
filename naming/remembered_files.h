// Files a volume still remembers by name after their records were given to
// others: the copies of $FILE_NAME in folder index entries (live, in a
// block's slack, in index blocks left in free clusters), those left in the
// slack of MFT records, and the names the change journal wrote. A carved
// file found among them gets its name back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "deep/index_names.h"

namespace verandol {

// Where a carved file's name came from, as rows and the command line say it.
enum class NamedFrom : std::uint8_t { Index, IndexSlack, FreeIndexBlock, RecordSlack, Journal, Content, Cluster };

// "index", "index slack", "free index block", "record slack", "journal",
// "content", "cluster".
const char* NamedFromText(NamedFrom from);

struct RememberedFile {
    std::uint64_t file_reference = 0;
    std::uint64_t parent_reference = 0;
    std::u16string name;
    IndexedFigures figures;  // sizes unknown (0) for a journal's names
    NamedFrom from = NamedFrom::Index;
};

class RememberedFiles {
public:
    // Past this many names, no more are kept: a volume of millions of
    // folders must not hold them all for a handful of carved files.
    explicit RememberedFiles(std::size_t most = 1u << 20) : most_(most) {}

    // The names of the index block at the start of `bytes`: its live
    // entries as `live` (Index for a folder's own blocks, FreeIndexBlock for
    // one found in free clusters), the $FILE_NAME copies in its slack as
    // IndexSlack unless the block itself was found free. Entries naming no
    // data (a folder's, a size of zero) are passed over. Returns how many
    // were kept.
    std::size_t AddIndexBlock(ByteSpan bytes, NamedFrom live);

    // The $FILE_NAME copies in bytes[from, to), the slack of a record or an
    // index block, as `from_place`. Returns how many were kept.
    std::size_t AddSlack(ByteSpan bytes, std::size_t from, std::size_t to, NamedFrom from_place);

    void Add(RememberedFile file);

    // From now on, only files of these data sizes are kept: the carved
    // files' own, so a volume of millions of records keeps a handful.
    void KeepOnlySizes(std::vector<std::int64_t> sizes);

    const std::vector<RememberedFile>& All() const { return files_; }
    // A stale copy's parent reference may be damage: the one who knows the
    // volume's folders mends it.
    void SetParent(std::size_t index, std::uint64_t parent_reference) { files_.at(index).parent_reference = parent_reference; }

private:
    void Keep(const IndexedNameView& name, NamedFrom from);
    // True when a file of this data size may still be kept.
    bool Wanted(std::int64_t data_size) const;

    std::vector<RememberedFile> files_;
    std::vector<std::uint8_t> scratch_;
    std::u16string units_;
    std::size_t most_;
    std::optional<std::vector<std::int64_t>> sizes_;  // sorted
};

}  // namespace verandol
