#pragma once

// Qt's "signals" keyword would rename a member of GIO's structures.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QStringList>
#include <memory>

#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

// A GSettings object of an installed schema, used on one background thread. Change
// notifications go to a private main context that nobody runs, so none reaches the main thread
// after the object is gone. Null when the schema is not installed.
class GSettingsHandle {
 public:
  GSettingsHandle(const char* schema, const char* path = nullptr);
  ~GSettingsHandle();
  GSettingsHandle(const GSettingsHandle&) = delete;
  GSettingsHandle& operator=(const GSettingsHandle&) = delete;

  GSettings* get() const { return settings_; }
  explicit operator bool() const { return settings_ != nullptr; }
  bool hasKey(const char* key) const;

 private:
  GMainContext* context_ = nullptr;
  GSettingsSchema* schema_ = nullptr;
  GSettings* settings_ = nullptr;
};

// Waits until every write made through GSettings has reached its backend (dconf).
void syncSettings();

// A desktop whose media-key shortcuts are GSettings keys of one schema.
struct GSettingsKeys {
  QString id;
  const char* schema;
  QStringList keys;  // a key this schema version lacks is skipped
  TakeoverText text;
};

// Saves each key as its printed value, or null while it is at its default; releases by writing
// the type's empty value ([] or ''); restores by writing the saved value back, or by resetting a
// key that was at its default, so that later changes of the default still reach it.
std::unique_ptr<DesktopKeyHolder> makeGSettingsHolder(GSettingsKeys keys);

}  // namespace tonvara::desktopkeys
