// DCB: the roots of the mounted file systems; choosing one moves DLB there.
#pragma once

#include <QComboBox>
#include <QString>

namespace verandol {

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    // Lists the roots and starts at the one holding `start_directory`.
    TDriveComboBox(QWidget* parent, const QString& start_directory);
};

}  // namespace verandol
