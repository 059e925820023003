// The folder dialog for the output: folders only, and a button that makes
// a new one ("Create New Folder" in Qt's own dialog).
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

namespace verandol {

// Opens at `start`; the caller shows it and owns it.
QFileDialog* MakeOutputFolderDialog(QWidget* parent, const QString& start);

}  // namespace verandol
