// The page behind the "Website" button: the help page installed with the
// program, or, for a program run from its build tree, the one in the source.
#pragma once

#include <QString>

namespace verandol {

// The help page for a program that runs from `program_dir`: the installed
// page when there is one beside the program's data, else the source tree's.
QString HelpPagePath(const QString& program_dir);

// Opens the help page in the desktop's browser. With nothing to open it
// (no desktop session, no browser), a message box says where the page is.
void OpenHelpPage();

}  // namespace verandol
