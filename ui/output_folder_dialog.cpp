#include "ui/output_folder_dialog.h"

#include <QFileDialog>

namespace verandol {

QFileDialog* MakeOutputFolderDialog(QWidget* parent, const QString& start) {
    auto* dialog = new QFileDialog(parent, QStringLiteral("Save Files to"), start);
    dialog->setFileMode(QFileDialog::Directory);
    // Not read-only: the dialog keeps its button for a new folder.
    dialog->setOptions(QFileDialog::ShowDirsOnly);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return dialog;
}

}  // namespace verandol
