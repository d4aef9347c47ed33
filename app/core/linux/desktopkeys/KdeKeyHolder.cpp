#include <QJsonArray>

#include "DesktopKeyHolder.h"
#include "KdeGlobalAccel.h"

namespace tonvara::desktopkeys {

namespace {

namespace kga = kglobalaccel;

// The media controller's shortcuts for the keys Tonvara acts on. Its Stop stays with the
// desktop: Tonvara has nothing to do for it, so taking it would only make the key dead.
constexpr const char* kHeldActions[] = {"playpausemedia", "pausemedia", "nextmedia",
                                        "previousmedia"};

QJsonArray toJson(const QList<int>& keys) {
  QJsonArray array;
  for (const int key : keys) {
    array.append(key);
  }
  return array;
}

QList<int> fromJson(const QJsonArray& array) {
  QList<int> keys;
  for (const auto& key : array) {
    keys.append(key.toInt());
  }
  return keys;
}

bool setKeys(const QString& action, const QList<int>& keys) {
  const QStringList id = kga::actionId(kga::kMediaControl, action);
  kga::send(QStringLiteral("setForeignShortcut"), {id, QVariant::fromValue(keys)});
  return kga::shortcut(id) == keys;
}

class KdeKeyHolder final : public DesktopKeyHolder {
 public:
  QString id() const override { return QStringLiteral("kde"); }

  TakeoverText text() const override {
    return {QStringLiteral("Plasma's media controller"),
            QStringLiteral("The Media Controller's shortcuts for Play/Pause, Pause, Next and "
                           "Previous (System Settings → Shortcuts) are cleared; Stop stays."),
            QStringLiteral("Give the keys back in Tonvara's Access window, or quit Tonvara: the "
                           "shortcuts are set back as they were.")};
  }

  std::optional<QJsonObject> read() override {
    const auto actions = kga::call<QList<QStringList>>(QStringLiteral("allActionsForComponent"),
                                                       QStringList{kga::kMediaControl});
    if (!actions) {
      return std::nullopt;
    }
    QJsonObject saved;
    for (const QStringList& action : *actions) {
      const QString name = action.value(1);
      if (!std::any_of(std::begin(kHeldActions), std::end(kHeldActions),
                       [&](const char* held) { return name == QLatin1String(held); })) {
        continue;
      }
      const auto keys = kga::shortcut(kga::actionId(kga::kMediaControl, name));
      if (!keys) {
        return std::nullopt;
      }
      saved.insert(name, toJson(*keys));
    }
    return saved;
  }

  bool release() override {
    const auto saved = read();
    if (!saved) {
      return false;
    }
    bool cleared = true;
    for (auto entry = saved->begin(); entry != saved->end(); ++entry) {
      cleared = setKeys(entry.key(), {}) && cleared;
    }
    return cleared;
  }

  bool restore(const QJsonObject& saved) override {
    // Left over from a run that ended without closing its channel, it would keep the keys.
    kga::clearOwnComponent();
    bool restored = true;
    for (auto entry = saved.begin(); entry != saved.end(); ++entry) {
      restored = setKeys(entry.key(), fromJson(entry.value().toArray())) && restored;
    }
    return restored;
  }
};

}  // namespace

std::unique_ptr<DesktopKeyHolder> makeKdeHolder() { return std::make_unique<KdeKeyHolder>(); }

}  // namespace tonvara::desktopkeys
