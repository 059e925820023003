// The recovery worker: recovers the ticked rows one after another on its own
// thread, reading each row on the window's thread when it reaches it.
#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QThread>

#include "recover/recovery_row_source.h"
#include "disk/published_geometry.h"

namespace verandol {
class JobControl;
class WindowLink;
}  // namespace verandol

class TRecoverThread : public QThread {
    Q_OBJECT
public:
    // `geometry` is the last scan's: the volume it read and how it reads.
    // `order` is the list's rows as shown at the press: a sort during the
    // recovery neither skips nor repeats a row, and a row's number ("File_"
    // names) is its place in this order.
    // `rows` is only touched inside calls `link` runs on the window's thread.
    TRecoverThread(verandol::PublishedGeometry geometry, int ticked, std::vector<verandol::RowId> order,
                   const verandol::RecoveryRowSource* rows, std::shared_ptr<verandol::WindowLink> link,
                   std::shared_ptr<verandol::JobControl> job);

    void Execute();

signals:
    void starting(int ticked);
    void progress(int position);
    // Before `ended`: how the rows handled went, and where the last one went.
    // `unread_files` of the files were written with sectors the device
    // could not deliver (`unread_bytes` in all, zeros in the files).
    void summary(int written, int incomplete, int unchecked, int not_written, const QString& folder,
                 int unread_files, qint64 unread_bytes);
    // `report` is empty when every handled row was recovered in full.
    void ended(const QString& report);

protected:
    void run() override { Execute(); }

private:
    verandol::PublishedGeometry geometry_;
    int ticked_;
    std::vector<verandol::RowId> order_;
    const verandol::RecoveryRowSource* rows_;
    std::shared_ptr<verandol::WindowLink> link_;
    std::shared_ptr<verandol::JobControl> job_;
};
