#include "GSettingsKeys.h"

#include <QJsonValue>

namespace tonvara::desktopkeys {

GSettingsHandle::GSettingsHandle(const char* schema, const char* path)
    : context_(g_main_context_new()) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  schema_ = source != nullptr ? g_settings_schema_source_lookup(source, schema, TRUE) : nullptr;
  if (schema_ != nullptr) {
    g_main_context_push_thread_default(context_);
    settings_ = g_settings_new_full(schema_, nullptr, path);
    g_main_context_pop_thread_default(context_);
  }
}

GSettingsHandle::~GSettingsHandle() {
  if (settings_ != nullptr) {
    g_object_unref(settings_);
  }
  if (schema_ != nullptr) {
    g_settings_schema_unref(schema_);
  }
  g_main_context_unref(context_);
}

bool GSettingsHandle::hasKey(const char* key) const {
  return schema_ != nullptr && g_settings_schema_has_key(schema_, key);
}

void syncSettings() { g_settings_sync(); }

namespace {

QString printed(GVariant* value) {
  gchar* text = g_variant_print(value, FALSE);
  QString result = QString::fromUtf8(text);
  g_free(text);
  return result;
}

class GSettingsKeyHolder final : public DesktopKeyHolder {
 public:
  explicit GSettingsKeyHolder(GSettingsKeys keys) : keys_(std::move(keys)) {}

  QString id() const override { return keys_.id; }
  TakeoverText text() const override { return keys_.text; }

  std::optional<QJsonObject> read() override {
    const GSettingsHandle settings(keys_.schema);
    if (!settings) {
      return std::nullopt;
    }
    QJsonObject saved;
    for (const auto& key : present(settings)) {
      GVariant* user = g_settings_get_user_value(settings.get(), key.constData());
      saved.insert(QString::fromUtf8(key),
                   user != nullptr ? QJsonValue(printed(user)) : QJsonValue());
      if (user != nullptr) {
        g_variant_unref(user);
      }
    }
    return saved;
  }

  bool release() override {
    return changeEach([](GSettings* settings, const char* key) {
      GVariant* current = g_settings_get_value(settings, key);
      const GVariantType* type = g_variant_get_type(current);
      GVariant* empty = g_variant_type_equal(type, G_VARIANT_TYPE_STRING)
                            ? g_variant_new_string("")
                            : g_variant_new_array(g_variant_type_element(type), nullptr, 0);
      const bool set = g_settings_set_value(settings, key, empty);
      g_variant_unref(current);
      return set;
    });
  }

  bool restore(const QJsonObject& saved) override {
    return changeEach([&saved](GSettings* settings, const char* key) {
      const QJsonValue value = saved.value(QString::fromUtf8(key));
      if (value.isUndefined()) {
        return true;  // not saved: never changed
      }
      if (value.isNull()) {
        g_settings_reset(settings, key);
        return true;
      }
      GVariant* current = g_settings_get_value(settings, key);
      GVariant* parsed =
          g_variant_parse(g_variant_get_type(current), value.toString().toUtf8().constData(),
                          nullptr, nullptr, nullptr);
      g_variant_unref(current);
      const bool set = parsed != nullptr && g_settings_set_value(settings, key, parsed);
      if (parsed != nullptr) {
        g_variant_unref(parsed);
      }
      return set;
    });
  }

 private:
  // Changes every key of the schema this version has, as one change for the daemon to act on
  // rather than one per key; false when the schema is missing or any key refused.
  template <typename Change>
  bool changeEach(Change change) {
    const GSettingsHandle settings(keys_.schema);
    if (!settings) {
      return false;
    }
    g_settings_delay(settings.get());
    bool ok = true;
    for (const auto& key : present(settings)) {
      ok = change(settings.get(), key.constData()) && ok;
    }
    g_settings_apply(settings.get());
    syncSettings();
    return ok;
  }

  QList<QByteArray> present(const GSettingsHandle& settings) const {
    QList<QByteArray> result;
    for (const auto& key : keys_.keys) {
      if (settings.hasKey(key.toUtf8().constData())) {
        result << key.toUtf8();
      }
    }
    return result;
  }

  GSettingsKeys keys_;
};

}  // namespace

std::unique_ptr<DesktopKeyHolder> makeGSettingsHolder(GSettingsKeys keys) {
  return std::make_unique<GSettingsKeyHolder>(std::move(keys));
}

}  // namespace tonvara::desktopkeys
