// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop notification: one Notify call on the session bus, sent without
// waiting for its reply; no bus or no service, and the notice is dropped.
#include "qt/qt_notifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

#include "qt/qt_text.h"

namespace ondrix {
namespace {

// The icon's name in the theme (packaging/icons, installed under hicolor).
constexpr auto kIconName = "ondrix-server";

}  // namespace

QtNotifier::QtNotifier(const QDBusConnection& bus) : bus_(bus) {}

void QtNotifier::connectToSessionBus() { bus_ = QDBusConnection::sessionBus(); }

void QtNotifier::notify(const DesktopNotice& notice) {
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QCoreApplication::applicationName() << 0u << QString::fromLatin1(kIconName)
       << toQString(notice.summary) << toQString(notice.body) << QStringList() << QVariantMap()
       << -1;
  // The reply (the notice's id, or an error) is of no use: it is not awaited.
  bus_.asyncCall(call);
}

}  // namespace ondrix
