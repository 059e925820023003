// The look at the current row beside the list: its picture, its first lines
// of text, or its first bytes in hexadecimal, read from the scanned volume.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include "ui/preview/preview_reader.h"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace verandol {

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget* parent = nullptr);

    // While the row is read: its name above, "Reading..." below.
    void ShowReading(const QString& name);
    void Show(const PreviewResult& result);
    void Clear();

    // What is shown, for the window's tests.
    PreviewResult::Kind Kind() const { return kind_; }
    const QImage& Picture() const { return picture_; }
    QSize PictureSize() const { return picture_size_; }
    QString Text() const;
    QString Note() const;

    QLabel* Title;
    QStackedWidget* Pages;
    QLabel* PicturePage;
    QPlainTextEdit* TextPage;
    QLabel* MessagePage;
    QLabel* NoteLine;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowPicture();
    QString name_;
    PreviewResult::Kind kind_ = PreviewResult::Kind::Unreadable;
    QImage picture_;
    QSize picture_size_;
};

}  // namespace verandol
