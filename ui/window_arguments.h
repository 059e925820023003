// What the window's command line asks for: a usage text or the version,
// printed before any window exists, or the image or device to scan at once
// (as a file manager passes it when the user opens an image with the tool).
#pragma once

#include <string>
#include <vector>

namespace verandol {

struct WindowArguments {
    enum class Action { Window, Help, Version, Mistake };
    Action action = Action::Window;
    std::string source;   // the image or device named; empty for none
    std::string mistake;  // what is wrong with the command line, for Mistake
};

// `args` without the program's name. Help and version win wherever they
// stand; "--" ends the options, so a file named "-x.img" can be named.
WindowArguments ParseWindowArguments(const std::vector<std::string>& args);

// "Usage: verandol [IMAGE | DEVICE]" and the options, for --help.
const char* WindowUsageText();

}  // namespace verandol
