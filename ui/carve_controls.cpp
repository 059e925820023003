#include "ui/carve_controls.h"

#include <algorithm>

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "ui/fonts.h"

namespace verandol {

namespace {

// The offer's widest: a line a person reads at a glance.
constexpr int kOfferWidth = 640;

const char* const kWhenItHelps = "Finds files whose record is already reused, by their content; names are guessed";

}  // namespace

CarveControls::CarveControls(QWidget* panel, QListWidget* drive_list, QWidget* list, QProgressBar* bar)
    : QObject(panel), list_(list), bar_(bar) {
    // In the information box's free corner, above "Files In Use": both
    // change what the next scan of the selected entry lists.
    Button = new QPushButton(QStringLiteral("Carve Free Space"), panel);
    Button->setGeometry(296, 133, 100, 20);
    Button->setFont(TahomaFont(9));
    Button->setToolTip(QString::fromLatin1(kWhenItHelps));
    Button->setCursor(Qt::PointingHandCursor);
    connect(Button, &QPushButton::clicked, this, &CarveControls::CarveRequested);

    Action = new QAction(QStringLiteral("Carve Free Space..."), drive_list);
    Action->setToolTip(QString::fromLatin1(kWhenItHelps));
    drive_list->addAction(Action);
    connect(Action, &QAction::triggered, this, &CarveControls::CarveRequested);

    Offer = new QFrame(list);
    Offer->setStyleSheet(QStringLiteral("QFrame { background-color: #FFFFE1; border: 1px solid grey; }"
                                        "QLabel, QToolButton { border: none; }"));
    auto* layout = new QHBoxLayout(Offer);
    layout->setContentsMargins(6, 3, 3, 3);
    OfferText = new QLabel(Offer);
    OfferText->setWordWrap(true);
    layout->addWidget(OfferText, 1);
    OfferButton = new QPushButton(QStringLiteral("Carve Free Space"), Offer);
    OfferButton->setToolTip(QString::fromLatin1(kWhenItHelps));
    layout->addWidget(OfferButton);
    OfferClose = new QToolButton(Offer);
    OfferClose->setText(QStringLiteral("\u00D7"));
    OfferClose->setToolTip(QStringLiteral("Close"));
    layout->addWidget(OfferClose);
    Offer->hide();
    connect(OfferButton, &QPushButton::clicked, this, [this] {
        HideOffer();
        emit CarveRequested();
    });
    connect(OfferClose, &QToolButton::clicked, this, &CarveControls::HideOffer);
}

void CarveControls::Starting(int progress_max) {
    HideOffer();
    bar_->setRange(0, progress_max);
    bar_->setValue(0);
}

// The bar's words (how far, how fast, time left) are the window's progress
// text's, which follows the bar's position.
void CarveControls::Moved(int position) { bar_->setValue(position); }

void CarveControls::OfferAfterScan(int rows) {
    if (rows >= kFewRows) return;
    const QString found = rows == 0   ? QStringLiteral("The scan listed no deleted files.")
                          : rows == 1 ? QStringLiteral("The scan listed only 1 deleted file.")
                                      : QStringLiteral("The scan listed only %1 deleted files.").arg(rows);
    OfferText->setText(found + QStringLiteral(" Carving the free space finds files whose record is already reused, "
                                              "by their content; names are guessed."));
    // Within the list's width, below its header, the words wrapping as needed.
    Offer->setFixedWidth(std::clamp(list_->width() - 8, 200, kOfferWidth));
    Offer->adjustSize();
    Offer->move(4, 24);
    Offer->show();
    Offer->raise();
}

void CarveControls::HideOffer() { Offer->hide(); }

}  // namespace verandol
