#include "ui/window_arguments.h"

namespace verandol {

WindowArguments ParseWindowArguments(const std::vector<std::string>& args) {
    WindowArguments parsed;
    bool options_end = false;
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return {WindowArguments::Action::Help, {}, {}};
        if (arg == "--version") return {WindowArguments::Action::Version, {}, {}};
    }
    for (const std::string& arg : args) {
        if (!options_end && arg == "--") {
            options_end = true;
        } else if (!options_end && arg.size() > 1 && arg[0] == '-') {
            parsed.action = WindowArguments::Action::Mistake;
            parsed.mistake = "unknown option " + arg;
            return parsed;
        } else if (!parsed.source.empty()) {
            parsed.action = WindowArguments::Action::Mistake;
            parsed.mistake = "one image or device at a time, not both " + parsed.source + " and " + arg;
            return parsed;
        } else {
            parsed.source = arg;
        }
    }
    return parsed;
}

const char* WindowUsageText() {
    return "Usage: verandol [IMAGE | DEVICE]\n"
           "\n"
           "Finds deleted files on an NTFS volume and copies them out, never writing to\n"
           "the volume. With an image file or a block device named, the window opens with\n"
           "it selected and scans it at once; without, it lists the drives and the images\n"
           "of the working directory.\n"
           "\n"
           "  -h, --help   print this text and exit\n"
           "  --version    print the version and exit\n"
           "\n"
           "verandol-cli does the same from a terminal or a script.\n";
}

}  // namespace verandol
