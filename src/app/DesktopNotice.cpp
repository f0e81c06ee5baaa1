#include "app/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace tintreel {

void showDesktopNotice(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const uint replacesNone = 0;
    const int serverDefaultTimeout = -1;
    notify << QStringLiteral("Tintreel") << replacesNone << QStringLiteral("org.tintreel.Tintreel") << summary
           << body << QStringList() << QVariantMap() << serverDefaultTimeout;
    bus.call(notify, QDBus::NoBlock);
}

}  // namespace tintreel
