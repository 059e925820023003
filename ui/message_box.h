// Every box the window shows goes through here, so tests can read them
// without running a modal loop.
#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

namespace verandol {

struct ShownMessage {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// While set, boxes are handed to `interceptor` instead of being shown.
using MessageInterceptor = std::function<void(const ShownMessage&)>;
void SetMessageInterceptor(MessageInterceptor interceptor);

// A modal box captioned "Verandol" with one "OK", centred on the screen.
void ShowMessage(const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);

}  // namespace verandol
