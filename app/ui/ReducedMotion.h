#pragma once

#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <QVariant>
#include <optional>

namespace tonvara::ui {

// Whether one desktop setting, as the desktop portal reports it, asks for less motion: GNOME's
// "enable-animations" off, or KDE's animation speed factor at 0 ("instant"). Empty for any other
// setting and for a value that cannot be read.
std::optional<bool> reducedMotionFromSetting(const QString& group, const QString& key,
                                             QVariant value);

// The desktop's wish for less motion, read from the desktop portal's settings without waiting:
// animations stay on until an answer says otherwise, and for good without a session bus.
class ReducedMotion final : public QObject {
  Q_OBJECT

 public:
  // Asks the portal on the session bus, if there is one, and follows its changes.
  explicit ReducedMotion(QObject* parent = nullptr);

  bool isReduced() const { return gnomeReduced_ || kdeReduced_; }
  // One setting as the portal reports it.
  void apply(const QString& group, const QString& key, const QVariant& value);

 signals:
  void changed(bool reduced);

 private slots:
  // The portal's SettingChanged(group, key, value); QtDBus passes no variant argument to a slot.
  void settingChanged(const QDBusMessage& change);

 private:
  bool gnomeReduced_ = false;
  bool kdeReduced_ = false;
};

}  // namespace tonvara::ui
