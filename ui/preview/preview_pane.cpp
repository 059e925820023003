#include "ui/preview/preview_pane.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace verandol {

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    Title = new QLabel(this);
    Title->setWordWrap(true);
    Title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Pages = new QStackedWidget(this);
    PicturePage = new QLabel(Pages);
    PicturePage->setAlignment(Qt::AlignCenter);
    PicturePage->setMinimumSize(1, 1);
    TextPage = new QPlainTextEdit(Pages);
    TextPage->setReadOnly(true);
    TextPage->setLineWrapMode(QPlainTextEdit::NoWrap);
    MessagePage = new QLabel(Pages);
    MessagePage->setAlignment(Qt::AlignCenter);
    MessagePage->setWordWrap(true);
    Pages->addWidget(MessagePage);
    Pages->addWidget(PicturePage);
    Pages->addWidget(TextPage);
    NoteLine = new QLabel(this);
    NoteLine->setWordWrap(true);
    NoteLine->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Title);
    layout->addWidget(Pages, 1);
    layout->addWidget(NoteLine);
    Clear();
}

void PreviewPane::Clear() {
    name_.clear();
    kind_ = PreviewResult::Kind::Unreadable;
    picture_ = {};
    picture_size_ = {};
    Title->setText(QStringLiteral("Preview"));
    MessagePage->setText(QStringLiteral("Select a file to see what it holds."));
    Pages->setCurrentWidget(MessagePage);
    NoteLine->hide();
}

void PreviewPane::ShowReading(const QString& name) {
    Clear();
    name_ = name;
    Title->setText(name);
    MessagePage->setText(QStringLiteral("Reading..."));
}

void PreviewPane::Show(const PreviewResult& result) {
    kind_ = result.kind;
    picture_ = result.picture;
    picture_size_ = result.picture_size;
    const QString size = QLocale().formattedDataSize(result.size);
    NoteLine->setText(result.note);
    NoteLine->setVisible(!result.note.isEmpty() && result.kind != PreviewResult::Kind::Unreadable);
    switch (result.kind) {
        case PreviewResult::Kind::Picture:
            Title->setText(QStringLiteral("%1\n%2, %3 x %4 pixels")
                               .arg(name_, size)
                               .arg(result.picture_size.width())
                               .arg(result.picture_size.height()));
            Pages->setCurrentWidget(PicturePage);
            ShowPicture();
            break;
        case PreviewResult::Kind::Text:
            Title->setText(QStringLiteral("%1\n%2, text (%3)").arg(name_, size, result.encoding));
            TextPage->setFont(font());
            TextPage->setPlainText(result.text);
            Pages->setCurrentWidget(TextPage);
            break;
        case PreviewResult::Kind::Hex:
            Title->setText(QStringLiteral("%1\n%2, first bytes").arg(name_, size));
            TextPage->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            TextPage->setPlainText(result.text);
            Pages->setCurrentWidget(TextPage);
            break;
        case PreviewResult::Kind::Unreadable:
            Title->setText(name_);
            MessagePage->setText(result.note);
            Pages->setCurrentWidget(MessagePage);
            break;
    }
}

QString PreviewPane::Text() const {
    return Pages->currentWidget() == TextPage ? TextPage->toPlainText() : QString();
}

QString PreviewPane::Note() const {
    return Pages->currentWidget() == MessagePage ? MessagePage->text() : NoteLine->text();
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (kind_ == PreviewResult::Kind::Picture) ShowPicture();
}

void PreviewPane::ShowPicture() {
    if (picture_.isNull()) return;
    const QSize room = PicturePage->size();
    const QImage shown = picture_.width() > room.width() || picture_.height() > room.height()
                             ? picture_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : picture_;
    PicturePage->setPixmap(QPixmap::fromImage(shown));
}

}  // namespace verandol
