#include "fuzz/record_entry.h"

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/record_times.h"
#include "ntfs/run_list.h"
#include "recover/output_name.h"
#include "scan/data_head_type.h"
#include "scan/deleted_file_reader.h"

namespace verandol::fuzz {

namespace {

bool Inside(ByteSpan part, ByteSpan whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void CheckOutputName(const std::string& name) {
    const std::string safe = SafeOutputName(name, 7);
    VERANDOL_FUZZ_CHECK(!safe.empty() && safe.size() <= 255);
    VERANDOL_FUZZ_CHECK(safe != "." && safe != "..");
    VERANDOL_FUZZ_CHECK(safe.find('/') == std::string::npos && safe.find('\0') == std::string::npos);
}

void CheckData(ByteSpan data) {
    if (auto value = ResidentValue(data)) VERANDOL_FUZZ_CHECK(Inside(*value, data));
    auto extent = ReadNonResidentExtent(data);
    if (extent) ReadRunList(data, *extent);
    ReadListedDataSize(data);
}

}  // namespace

void FuzzRecord(ByteSpan input) {
    if (input.size() > 65536) return;
    std::vector<std::uint8_t> record(input.begin(), input.end());
    // The scan stops at a failed check, but the lookups must be safe on any
    // buffer, so they run either way.
    ApplyFixups(record);
    const ByteSpan bytes(record);

    const ByteSpan info = FindAttribute(bytes, layout::attr::kStandardInformation, false);
    const ByteSpan long_name = FindAttribute(bytes, layout::attr::kFileName, true);
    const ByteSpan any_name = FindAttribute(bytes, layout::attr::kFileName, false);
    const ByteSpan data = FindAttribute(bytes, layout::attr::kData, false);
    for (ByteSpan found : {info, long_name, any_name, data}) VERANDOL_FUZZ_CHECK(Inside(found, bytes));
    ReadStandardTimes(info);
    ReadRecordTimes(bytes);
    for (ByteSpan stream : NamedAttributes(bytes, layout::attr::kData)) {
        VERANDOL_FUZZ_CHECK(Inside(stream, bytes));
        if (auto name = ReadAttributeName(stream)) VERANDOL_FUZZ_CHECK(name->size() <= 255);
        CheckData(stream);
    }
    ReadFileNameUnits(any_name);
    CheckData(data);
    // A nameless file's type from its first bytes, with the record itself
    // as the volume, at the start of the addresses and at their far end.
    BorrowedVolume volume(bytes);
    const std::string type = TypeFromDataHead(volume, 0, 512, data);
    VERANDOL_FUZZ_CHECK(type.empty() || type[0] == '.');
    TypeFromDataHead(volume, INT64_MAX - 100, 65536, data);

    if (auto row = ReadDeletedFileRow(bytes, 0x4000)) {
        VERANDOL_FUZZ_CHECK(row->position_text == "0x4000");
        VERANDOL_FUZZ_CHECK(row->type.size() <= row->name.size());
        CheckOutputName(row->name);
    }
}

}  // namespace verandol::fuzz
