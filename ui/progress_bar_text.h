// The words in the progress bar: while a job runs, how far it is, how fast
// it goes and how long it still needs; between jobs, the status line the
// window gives it.
#pragma once

#include <QObject>
#include <QString>

#include "ui/progress_pace.h"

class QProgressBar;
class QTimer;

namespace verandol {

class ProgressBarText : public QObject {
public:
    explicit ProgressBarText(QProgressBar* bar);

    // A job of `maximum` steps named `unit` starts: the bar's position is
    // followed until Finish, its text led by `label` ("Carving free space: ").
    void Start(int maximum, const QString& unit, const QString& label = QString());
    void Finish();
    bool Running() const { return running_; }
    // The line shown between jobs; kept while a job runs.
    void SetStatus(const QString& status);

private:
    void Refresh();

    QProgressBar* bar_;
    QTimer* ticker_;
    ProgressPace pace_;
    bool running_ = false;
    QString status_;
    QString label_;
};

}  // namespace verandol
