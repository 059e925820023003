#include "udisks/udisks_access.h"

#include <fcntl.h>

#include <clocale>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include "disk/privileged_open.h"
#include "udisks/once_per_device.h"

namespace verandol {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
constexpr int kLookupTimeoutMs = 25 * 1000;
// The password prompt waits for a person; polkit gives up on its own first.
constexpr int kOpenTimeoutMs = 10 * 60 * 1000;

bool ServiceMissing(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
}

std::string Words(const QDBusMessage& reply) {
    const QString message = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return message.toStdString();
}

Outcome<QString> ObjectOf(QDBusConnection& bus, const std::string& path) {
    QDBusMessage resolve = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                                                          QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                                          QStringLiteral("ResolveDevice"));
    QVariantMap device;
    device.insert(QStringLiteral("path"), QString::fromStdString(path));
    resolve << device << QVariantMap();
    const QDBusMessage reply = bus.call(resolve, QDBus::Block, kLookupTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (ServiceMissing(reply))
            return Refusal(NoAccessText(path,
                                        "this user has no read permission on it, and UDisks2, which could "
                                        "open it on the user's behalf, is not running",
                                        false));
        return Refusal(NoAccessText(path, "UDisks2 could not find it (" + Words(reply) + ")"));
    }
    QList<QDBusObjectPath> objects;
    if (!reply.arguments().isEmpty()) objects = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().first());
    if (objects.isEmpty()) return Refusal(NoAccessText(path, "UDisks2 does not know the device"));
    return objects.first().path();
}

Outcome<int> AskUdisks(const std::string& path) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return Refusal(NoAccessText(path,
                                    "this user has no read permission on it, and the system bus, through "
                                    "which UDisks2 could open it, cannot be reached (" +
                                        bus.lastError().message().toStdString() + ")",
                                    false));
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return Refusal(NoAccessText(path, "the system bus cannot pass descriptors"));
    Outcome<QString> object = ObjectOf(bus, path);
    if (!object) return Refusal(object.reason());

    QDBusMessage open = QDBusMessage::createMethodCall(
        kService, *object, QStringLiteral("org.freedesktop.UDisks2.Block"), QStringLiteral("OpenDevice"));
    QVariantMap options;
    // Read-only, never O_EXCL: a mounted volume stays readable beside its mount.
    options.insert(QStringLiteral("flags"), static_cast<int>(O_CLOEXEC));
    open << QStringLiteral("r") << options;
    open.setInteractiveAuthorizationAllowed(true);
    const QDBusMessage reply = bus.call(open, QDBus::Block, kOpenTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (ServiceMissing(reply)) return Refusal(NoAccessText(path, "UDisks2 stopped while it was asked"));
        return Refusal(NoAccessText(path, "the system did not allow reading it (" + Words(reply) + ")"));
    }
    if (reply.arguments().isEmpty()) return Refusal(NoAccessText(path, "UDisks2 answered without a descriptor"));
    const auto handed = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
    if (!handed.isValid()) return Refusal(NoAccessText(path, "UDisks2 answered without a descriptor"));
    // The handed object closes its own copy.
    const int fd = ::fcntl(handed.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return Refusal(NoAccessText(path, "the descriptor UDisks2 handed over cannot be kept"));
    return fd;
}

// QtDBus wants an application object. A command-line run has none; the one
// made here must not change the locale the program chose for itself.
void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    static int argc = 1;
    static char name[] = "verandol";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the bus's own thread may still be delivering when
    // the program ends, and must not meet a half-torn-down application.
    new QCoreApplication(argc, argv);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace

void ReadDevicesThroughUdisks() {
    EnsureApplication();
    auto answers = std::make_shared<OncePerDevice>(AskUdisks);
    SetPrivilegedOpener([answers](const std::string& path) { return answers->Open(path); });
}

}  // namespace verandol
