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
// Returns the interceptor it replaces, so a caller can put it back.
using MessageInterceptor = std::function<void(const ShownMessage&)>;
MessageInterceptor SetMessageInterceptor(MessageInterceptor interceptor);

// A modal box captioned "Verandol" with one "OK", centred on the screen.
void ShowMessage(const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);

}  // namespace verandol
