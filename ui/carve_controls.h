// The window's way to the carve pass: the "Carve Free Space" button and
// menu entry, the offer of a carve after a scan that listed few deleted
// files, and the progress bar's words while the pass runs.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace verandol {

class CarveControls : public QObject {
    Q_OBJECT
public:
    // The button goes on `panel`, the menu entry on `drive_list`, the offer
    // over the top of `list`; `bar` is the window's progress bar.
    CarveControls(QWidget* panel, QListWidget* drive_list, QWidget* list, QProgressBar* bar);

    QPushButton* Button;
    QAction* Action;
    // The offer: a line over the top of the list with its own button.
    QFrame* Offer;
    QLabel* OfferText;
    QPushButton* OfferButton;
    QToolButton* OfferClose;

    // A scan listing fewer deleted files than this is offered a carve.
    static constexpr int kFewRows = 10;

    // The carve pass began, to go `progress_max` MiB; then its position.
    void Starting(int progress_max);
    void Moved(int position);
    // After a completed scan that did not carve, and listed `rows` deleted files.
    void OfferAfterScan(int rows);
    void HideOffer();

signals:
    // The button, the menu entry or the offer was used.
    void CarveRequested();

private:
    QWidget* list_;
    QProgressBar* bar_;
};

}  // namespace verandol
