#include "ui/progress_bar_text.h"

#include <QProgressBar>
#include <QTimer>

namespace verandol {

ProgressBarText::ProgressBarText(QProgressBar* bar) : QObject(bar), bar_(bar), ticker_(new QTimer(this)) {
    bar_->setTextVisible(true);
    bar_->setAlignment(Qt::AlignCenter);
    // A stalled job reports nothing: the text is brought up to date each
    // second all the same, so its rate falls and its time left grows.
    ticker_->setInterval(1000);
    connect(ticker_, &QTimer::timeout, this, &ProgressBarText::Refresh);
    connect(bar_, &QProgressBar::valueChanged, this, [this] {
        if (running_) Refresh();
    });
    SetStatus(QString());
}

void ProgressBarText::Start(int maximum, const QString& unit, const QString& label) {
    running_ = true;
    label_ = label;
    pace_.Start(maximum, unit.toStdString(), ProgressPace::Clock::now());
    ticker_->start();
    Refresh();
}

void ProgressBarText::Finish() {
    running_ = false;
    ticker_->stop();
    bar_->setFormat(status_);
}

void ProgressBarText::SetStatus(const QString& status) {
    // The bar puts numbers in for "%p", "%v" and "%m"; these lines have none.
    status_ = status;
    if (!running_) bar_->setFormat(status_);
}

void ProgressBarText::Refresh() {
    pace_.Update(bar_->value() - bar_->minimum(), ProgressPace::Clock::now());
    bar_->setFormat(label_ + QString::fromStdString(pace_.Text()));
}

}  // namespace verandol
