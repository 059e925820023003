#include "ntfs/run_list.h"
#include "ntfs/checked_math.h"

namespace verandol {

DecodedRunList DecodeRunList(ByteSpan run_list) {
    DecodedRunList result;
    std::int64_t current = 0;
    std::size_t p = 0;
    bool first = true;
    for (;;) {
        auto header = read_le8(run_list, p);
        if (!header) {
            result.reason = "the run list has no end marker";
            return result;
        }
        if (*header == 0) return result;
        const std::size_t length_bytes = *header & 0x0F;
        const std::size_t offset_bytes = *header >> 4;
        if (length_bytes > 8 || offset_bytes > 8) {
            result.reason = "the run list holds a field wider than 8 bytes";
            return result;
        }
        auto length = length_bytes ? read_le(run_list, p + 1, length_bytes) : std::optional<std::uint64_t>{0};
        auto offset = offset_bytes ? read_le(run_list, p + 1 + length_bytes, offset_bytes)
                                   : std::optional<std::uint64_t>{0};
        if (!length || !offset) {
            result.reason = "the run list ends inside a run";
            return result;
        }
        std::int64_t delta;
        if (first) {
            if (*offset > static_cast<std::uint64_t>(INT64_MAX)) {
                result.reason = "the run list starts beyond any volume";
                return result;
            }
            delta = static_cast<std::int64_t>(*offset);
        } else {
            // Sign-extend the top bit of the field's last byte.
            const unsigned bits = static_cast<unsigned>(8 * offset_bytes);
            std::uint64_t raw = *offset;
            if (bits > 0 && bits < 64 && (raw >> (bits - 1)) & 1) raw |= ~std::uint64_t{0} << bits;
            delta = static_cast<std::int64_t>(raw);
        }
        if (AddOverflows(current, delta, current)) {
            result.reason = "the run list's clusters overflow";
            return result;
        }
        Run run;
        run.clusters = *length;
        run.sparse = delta == 0;
        run.lcn = current;
        run.valid = run.sparse || current >= 0;
        result.runs.push_back(run);
        p += 1 + length_bytes + offset_bytes;
        first = false;
    }
}

}  // namespace verandol
