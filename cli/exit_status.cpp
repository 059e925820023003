#include "cli/exit_status.h"

#include <cstdio>

namespace verandol::cli {

int Fail(int status, const std::string& why) {
    std::fprintf(stderr, "verandol-cli: %s\n", why.c_str());
    return status;
}

}  // namespace verandol::cli
