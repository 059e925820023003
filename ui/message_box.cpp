#include "ui/message_box.h"

#include <utility>

#include <QGuiApplication>
#include <QScreen>

namespace verandol {

namespace {

MessageInterceptor& Interceptor() {
    static MessageInterceptor interceptor;
    return interceptor;
}

}  // namespace

MessageInterceptor SetMessageInterceptor(MessageInterceptor interceptor) {
    return std::exchange(Interceptor(), std::move(interceptor));
}

void ShowMessage(const QString& text, QMessageBox::Icon icon) {
    if (Interceptor()) {
        Interceptor()({text, icon});
        return;
    }
    QMessageBox box(icon, QStringLiteral("Verandol"), text, QMessageBox::Ok);
    box.adjustSize();
    // Moving marks the box as placed, so showing it keeps this position.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    box.exec();
}

}  // namespace verandol
