// DLB: the folders of the current directory, opened by double-click or Enter.
#pragma once

#include <QListWidget>
#include <QString>

namespace verandol {

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TDirectoryListBox(QWidget* parent);

    // The output folder: an absolute, clean path.
    QString Directory() const { return directory_; }
    void SetDirectory(const QString& path);

    static QString UpEntry() { return QStringLiteral(".."); }

signals:
    void DirectoryChanged(const QString& directory);

private:
    void Open(QListWidgetItem* item);

    QString directory_;
};

}  // namespace verandol
