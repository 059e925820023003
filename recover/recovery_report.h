// What the user is told after a recovery in which something went wrong.
#pragma once

#include <string>
#include <vector>

namespace verandol {

struct RecoveryFailure {
    std::string name;      // the row's file name
    std::string position;  // the row's caption
    bool incomplete = false;  // written, but with parts missing
    std::string reason;
    bool unchecked = false;  // written, but its clusters could not be checked
};

// Empty when nothing failed, since a clean recovery ends silently. Otherwise
// the count of ticked files recovered in full, and of those written
// unchecked, then the first ten failures and "and N more".
std::string RecoveryReport(int ticked, int recovered, const std::vector<RecoveryFailure>& failures);

}  // namespace verandol
