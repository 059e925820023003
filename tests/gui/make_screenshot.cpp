// Renders the window after a scan of the sample volume into a PNG:
//   verandol_screenshot <output.png>
// Run it in a folder that holds the sample image, so discovery lists it.
#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "ui/uMain.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    TMainForm form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form) || form.DriveList->count() == 0) return 1;
    form.DriveList->item(0)->setSelected(true);
    form.btnScan->click();
    if (!verandol::test::WaitForScan(form)) return 1;
    QTest::qWait(200);
    return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
