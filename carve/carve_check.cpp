#include "carve/carve_check.h"

namespace verandol {

const char* CarveCheckText(CarveCheck check) {
    switch (check) {
        case CarveCheck::Verified: return "verified";
        case CarveCheck::Complete: return "complete";
        case CarveCheck::Incomplete: break;
    }
    return "incomplete";
}

}  // namespace verandol
