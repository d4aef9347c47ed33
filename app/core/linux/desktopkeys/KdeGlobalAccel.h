#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QList>
#include <QStringList>
#include <optional>

// KDE's global shortcut daemon, kglobalaccel, as its D-Bus interface offers it: blocking calls,
// never on the main thread.
namespace tonvara::desktopkeys::kglobalaccel {

inline const QString kService = QStringLiteral("org.kde.kglobalaccel");
inline const QString kPath = QStringLiteral("/kglobalaccel");
inline const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
inline const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");

// Plasma's media controller, which holds the media keys, and this program's own component.
inline const QString kMediaControl = QStringLiteral("mediacontrol");
inline const QString kTonvara = QStringLiteral("tonvara");

// setShortcut's flags: active at once, and the keys given rather than any saved ones.
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;

// The daemon names an action by component, action, and the two names the user sees.
inline QStringList actionId(const QString& component, const QString& action,
                            const QString& componentName = {}, const QString& actionName = {}) {
  return {component, action, componentName, actionName};
}

// The daemon's list types; registering again is harmless.
inline void registerTypes() {
  qDBusRegisterMetaType<QList<int>>();
  qDBusRegisterMetaType<QList<QStringList>>();
}

template <typename Reply, typename... Args>
std::optional<Reply> call(const QString& method, Args... args) {
  registerTypes();
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  message.setArguments({QVariant::fromValue(args)...});
  const QDBusReply<Reply> reply = QDBusConnection::sessionBus().call(message);
  return reply.isValid() ? std::optional<Reply>(reply.value()) : std::nullopt;
}

inline bool send(const QString& method, const QVariantList& arguments) {
  registerTypes();
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  message.setArguments(arguments);
  return QDBusConnection::sessionBus().call(message).type() == QDBusMessage::ReplyMessage;
}

// The keys (Qt key codes) an action has now; nothing when the daemon does not answer.
inline std::optional<QList<int>> shortcut(const QStringList& id) {
  return call<QList<int>>(QStringLiteral("shortcut"), id);
}

// The actions Tonvara's own component registers: each a media key and the key it stands for.
struct OwnAction {
  const char* name;
  int qtKey;
};
inline constexpr OwnAction kOwnActions[] = {
    {"playpause", Qt::Key_MediaPlay},  {"pause", Qt::Key_MediaPause},
    {"next", Qt::Key_MediaNext},       {"previous", Qt::Key_MediaPrevious},
    {"forward", Qt::Key_AudioForward}, {"rewind", Qt::Key_AudioRewind},
};

// Frees every key of Tonvara's own component: while it holds one, the daemon refuses that key to
// anyone else, the media controller included.
inline void clearOwnComponent() {
  for (const OwnAction& action : kOwnActions) {
    const QString name = QString::fromLatin1(action.name);
    send(QStringLiteral("setShortcut"),
         {actionId(kTonvara, name), QVariant::fromValue(QList<int>{}), kNoAutoloading});
    send(QStringLiteral("unregister"), {kTonvara, name});
  }
}

}  // namespace tonvara::desktopkeys::kglobalaccel
