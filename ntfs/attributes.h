// Finding attributes in a file record and reading the values the tool uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/run_list.h"

namespace verandol {

// The first attribute of `type` in `record`, as a view of its bytes from its
// header on, cut at the buffer's end; empty when there is none. With
// `skip_dos_names`, file names kept only in the DOS namespace are passed over
// so the long name is found. A buffer that does not begin with "FILE" is
// taken to begin with an attribute. Attributes held in other records through
// an attribute list are not followed.
ByteSpan FindAttribute(ByteSpan record, std::uint32_t type, bool skip_dos_names);

// The attribute of `type` whose attribute id is `id`, as FindAttribute
// returns it: how an attribute list names the attribute it points to.
ByteSpan FindAttributeWithId(ByteSpan record, std::uint32_t type, std::uint16_t id);

// Every attribute of `type` that has a name (a file's named data streams,
// for $DATA), in record order, each as FindAttribute returns it.
std::vector<ByteSpan> NamedAttributes(ByteSpan record, std::uint32_t type);

// An attribute's name as UTF-16 code units: empty for the unnamed one;
// nullopt when the name runs past the copy.
std::optional<std::u16string> ReadAttributeName(ByteSpan attribute);
// The attribute of `type` named `name` ("$J" of a stream, "$I30" of an index).
ByteSpan FindNamedAttribute(ByteSpan record, std::uint32_t type, std::u16string_view name);

// $STANDARD_INFORMATION: creation and last-modification NTFS times; nullopt
// when the copy is too short to hold them.
struct StandardTimes {
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
};
std::optional<StandardTimes> ReadStandardTimes(ByteSpan standard_information);

// $FILE_NAME: the name's UTF-16 code units, as far as the copy reaches;
// nullopt when the length byte itself lies outside the copy.
std::optional<std::u16string> ReadFileNameUnits(ByteSpan file_name);

// $DATA: the file's size as the list shows it. The non-resident flag n picks
// the 4 x (n + 1) bytes at 16 + 32 x n: the resident value length for 0,
// the real size for 1. Bytes past the copy's end count as missing.
std::optional<std::int64_t> ReadListedDataSize(ByteSpan data);

// The non-resident header fields of a $DATA copy, nullopt when too short.
struct NonResidentExtent {
    std::uint16_t flags = 0;
    std::int64_t first_vcn = 0;
    std::int64_t last_vcn = 0;
    std::uint16_t run_list_offset = 0;
    std::int64_t real_size = 0;
    std::int64_t initialized_size = 0;
    std::uint16_t compression_unit = 0;  // log2 of the clusters per unit
};
std::optional<NonResidentExtent> ReadNonResidentExtent(ByteSpan data);

// The run list of a non-resident copy whose header `extent` was read from
// it, decoded; nullopt when the list's offset lies outside the copy.
std::optional<DecodedRunList> ReadRunList(ByteSpan data, const NonResidentExtent& extent);

// True when the $DATA copy says its value lives in clusters (flag exactly 1).
bool IsNonResident(ByteSpan data);

// A resident $DATA value: the bytes at the value offset, value-length long,
// as far as the copy reaches; nullopt when the header fields are missing.
std::optional<ByteSpan> ResidentValue(ByteSpan data);

}  // namespace verandol
