// The recovery worker: recovers the ticked rows one after another on its own
// thread, reading each row on the window's thread when it reaches it.
#pragma once

#include <memory>

#include <QString>
#include <QThread>

#include "scan/scan_volume.h"

class TMainForm;

namespace verandol {
class WindowLink;
}

class TRecoverThread : public QThread {
    Q_OBJECT
public:
    // `geometry` is the last scan's: the volume it read and how it reads.
    TRecoverThread(verandol::PublishedGeometry geometry, int ticked, TMainForm* form,
                   std::shared_ptr<verandol::WindowLink> link);

    void Execute();

signals:
    void starting(int ticked);
    void progress(int position);
    // `report` is empty when every handled row was recovered in full.
    void ended(const QString& report);

protected:
    void run() override { Execute(); }

private:
    verandol::PublishedGeometry geometry_;
    int ticked_;
    TMainForm* form_;  // touched only inside calls run on the window's thread
    std::shared_ptr<verandol::WindowLink> link_;
};
