#include "ui/drive_combo_box.h"

#include <QStorageInfo>
#include <QStringList>

namespace verandol {

TDriveComboBox::TDriveComboBox(QWidget* parent, const QString& start_directory) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    roots.removeDuplicates();
    roots.sort();
    addItems(roots);
    setCurrentIndex(static_cast<int>(roots.indexOf(QStorageInfo(start_directory).rootPath())));
}

}  // namespace verandol
