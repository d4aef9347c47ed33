#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QRegularExpression>

#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

namespace {

const QString kChannel = QStringLiteral("xfce4-panel");

// The panel's settings in xfconf, over its D-Bus interface.
QDBusMessage xfconf(const QString& method, const QVariantList& arguments) {
  QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Xfconf"),
                                                        QStringLiteral("/org/xfce/Xfconf"),
                                                        QStringLiteral("org.xfce.Xfconf"), method);
  message.setArguments(arguments);
  return QDBusConnection::sessionBus().call(message);
}

bool succeeded(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ReplyMessage; }

// The sound plugin grabs Play, Stop, Previous and Next itself while this property is true (or
// absent: its default).
class XfceKeyHolder final : public DesktopKeyHolder {
 public:
  QString id() const override { return QStringLiteral("xfce"); }

  TakeoverText text() const override {
    return {QStringLiteral("the Xfce panel's PulseAudio plugin"),
            QStringLiteral("The panel's PulseAudio plugin stops taking the multimedia keys: its "
                           "xfconf property enable-multimedia-keys is set to false."),
            QStringLiteral("Give the keys back in Tonvara's Access window, or quit Tonvara: the "
                           "option is set back as it was.")};
  }

  // {"/plugins/plugin-N/enable-multimedia-keys": its value, or null where it was never set}.
  std::optional<QJsonObject> read() override {
    const QDBusReply<QVariantMap> all =
        xfconf(QStringLiteral("GetAllProperties"), {kChannel, QStringLiteral("/plugins")});
    if (!all.isValid()) {
      return std::nullopt;
    }
    static const QRegularExpression plugin(QStringLiteral("^/plugins/plugin-[0-9]+$"));
    QJsonObject saved;
    const QVariantMap properties = all.value();
    for (auto entry = properties.begin(); entry != properties.end(); ++entry) {
      if (!plugin.match(entry.key()).hasMatch() ||
          entry.value().toString() != QLatin1String("pulseaudio")) {
        continue;
      }
      const QString property = entry.key() + QStringLiteral("/enable-multimedia-keys");
      saved.insert(property, properties.contains(property)
                                 ? QJsonValue(properties.value(property).toBool())
                                 : QJsonValue(QJsonValue::Null));
    }
    return saved;
  }

  bool release() override {
    const auto saved = read();
    if (!saved) {
      return false;
    }
    bool released = true;
    for (const QString& property : saved->keys()) {
      released = set(property, false) && released;
    }
    return released;
  }

  bool restore(const QJsonObject& saved) override {
    bool restored = true;
    for (auto entry = saved.begin(); entry != saved.end(); ++entry) {
      // A property that was never set goes back to unset, so that the plugin's default rules.
      restored = (entry.value().isBool() ? set(entry.key(), entry.value().toBool())
                                         : succeeded(xfconf(QStringLiteral("ResetProperty"),
                                                            {kChannel, entry.key(), false}))) &&
                 restored;
    }
    return restored;
  }

 private:
  static bool set(const QString& property, bool value) {
    return succeeded(xfconf(QStringLiteral("SetProperty"),
                            {kChannel, property, QVariant::fromValue(QDBusVariant(value))}));
  }
};

}  // namespace

std::unique_ptr<DesktopKeyHolder> makeXfceHolder() { return std::make_unique<XfceKeyHolder>(); }

}  // namespace tonvara::desktopkeys
