// The commands; each takes the arguments after its name and returns the
// process's exit status.
#pragma once

#include <string>
#include <vector>

namespace verandol::cli {

int ScanCommand(const std::vector<std::string>& args);
int RecoverCommand(const std::vector<std::string>& args);
int VolumesCommand(const std::vector<std::string>& args);
int SearchCommand(const std::vector<std::string>& args);
int ImageCommand(const std::vector<std::string>& args);

}  // namespace verandol::cli
