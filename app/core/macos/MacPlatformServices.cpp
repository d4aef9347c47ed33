#include "MacPlatformServices.h"

#include <QTimer>

#include "BundleInfo.h"
#include "MacSystem.h"
#include "MediaKeyEngine/PlatformDefaults.h"

namespace tonvara {

namespace {

// NSUserDefaults.standardUserDefaults, in the kinds a JSON value can carry.
class StandardUserDefaults final : public UserDefaults {
 public:
  QJsonValue object(const QString& key) const override {
    const mac::StoredValue value = mac::readDefault(key.toStdString());
    switch (value.kind) {
      case mac::StoredValue::Kind::absent:
        return QJsonValue(QJsonValue::Undefined);
      case mac::StoredValue::Kind::boolean:
        return QJsonValue(value.boolean);
      case mac::StoredValue::Kind::number:
        return QJsonValue(value.number);
      case mac::StoredValue::Kind::text:
        return QJsonValue(QString::fromStdString(value.text));
      case mac::StoredValue::Kind::other:
        break;
    }
    return QJsonValue(QJsonValue::Null);
  }

  void setObject(const QString& key, const QJsonValue& value) override {
    mac::StoredValue stored;
    if (value.isBool()) {
      stored = {mac::StoredValue::Kind::boolean, value.toBool(), 0, {}};
    } else if (value.isDouble()) {
      stored = {mac::StoredValue::Kind::number, false, value.toDouble(), {}};
    } else if (value.isString()) {
      stored = {mac::StoredValue::Kind::text, false, 0, value.toString().toStdString()};
    }
    mac::writeDefault(key.toStdString(), stored);
  }
};

class MacProcessActivity final : public ProcessActivity {
 public:
  explicit MacProcessActivity(QString reason)
      : reason_(std::move(reason)), activity_(reason_.toStdString()) {}
  QString reason() const override { return reason_; }

 private:
  QString reason_;
  mac::SystemActivity activity_;
};

}  // namespace

MacPlatformServices::MacPlatformServices()
    : EnginePlatformServices(platform::defaultEventTapPlatform(),
                             platform::defaultApplicationPlatform()),
      defaults_(std::make_unique<StandardUserDefaults>()) {}

MacPlatformServices::~MacPlatformServices() = default;

QVariant MacPlatformServices::infoDictionaryValue(const QString& key) const {
  // An unbundled run (from the build tree) has no Info.plist: the build's values stand in.
  if (const auto value = mac::infoString(key.toStdString())) {
    return QString::fromStdString(*value);
  }
  return BundleInfo::infoDictionary().value(key);
}

void MacPlatformServices::promptForAccessibility() { mac::promptForAccessibility(); }

int MacPlatformServices::loginItemStatus() { return mac::loginItemStatus(); }

std::optional<QString> MacPlatformServices::setLoginItemEnabled(bool enabled) {
  if (auto error = mac::setLoginItemEnabled(enabled)) {
    return QString::fromStdString(*error);
  }
  return std::nullopt;
}

void MacPlatformServices::observeDidBecomeActive(std::function<void()> handler) {
  mac::observeDidBecomeActive(std::move(handler));
}

std::unique_ptr<ProcessActivity> MacPlatformServices::beginActivity(const QString& reason) {
  return std::make_unique<MacProcessActivity>(reason);
}

std::shared_ptr<PlatformServices> makePlatformServices() {
  return std::make_shared<MacPlatformServices>();
}

}  // namespace tonvara
