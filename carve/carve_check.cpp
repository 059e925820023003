#include "carve/carve_check.h"

namespace verandol {

CarvedPieces PiecesOf(const CarvedExtent& extent) {
    if (extent.gap_bytes <= 0 || extent.gap_at <= 0 || extent.gap_at >= extent.length)
        return {{extent.position, extent.length}, {}};
    return {{extent.position, extent.gap_at},
            {extent.position + extent.gap_at + extent.gap_bytes, extent.length - extent.gap_at}};
}

const char* CarveCheckText(CarveCheck check) {
    switch (check) {
        case CarveCheck::Verified: return "verified";
        case CarveCheck::Complete: return "complete";
        case CarveCheck::Incomplete: break;
    }
    return "incomplete";
}

}  // namespace verandol
