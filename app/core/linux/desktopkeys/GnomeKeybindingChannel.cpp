// GNOME gives an application no media keys of its own, on X11 or Wayland: only custom
// keybindings, whose command here hands the key to the running instance.
#include <QList>
#include <algorithm>
#include <array>

#include "GSettingsKeys.h"

namespace tonvara::desktopkeys {

namespace {

constexpr auto kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr auto kCustomBinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr auto kListKey = "custom-keybindings";
constexpr auto kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

struct Binding {
  const char* entry;  // the last path element, unique to Tonvara
  const char* keysym;
  const char* key;  // as the key client names it; Forward and Rewind act as Next and Previous
};
constexpr std::array kBindings{
    Binding{"tonvara-play", "XF86AudioPlay", "play"},
    Binding{"tonvara-next", "XF86AudioNext", "next"},
    Binding{"tonvara-previous", "XF86AudioPrev", "previous"},
    Binding{"tonvara-forward", "XF86AudioForward", "next"},
    Binding{"tonvara-rewind", "XF86AudioRewind", "previous"},
};

QByteArray pathOf(const Binding& binding) { return QByteArray(kFolder) + binding.entry + '/'; }

bool isOurs(const QByteArray& path) {
  return std::any_of(kBindings.begin(), kBindings.end(),
                     [&](const Binding& binding) { return pathOf(binding) == path; });
}

QList<QByteArray> readList(GSettings* settings) {
  QList<QByteArray> paths;
  gchar** list = g_settings_get_strv(settings, kListKey);
  for (gchar** item = list; *item != nullptr; ++item) {
    paths << QByteArray(*item);
  }
  g_strfreev(list);
  return paths;
}

bool writeList(GSettings* settings, const QList<QByteArray>& paths) {
  std::vector<const char*> items;
  for (const auto& path : paths) {
    items.push_back(path.constData());
  }
  items.push_back(nullptr);
  return g_settings_set_strv(settings, kListKey, items.data());
}

class GnomeKeybindingChannel final : public KeyDeliveryChannel {
 public:
  explicit GnomeKeybindingChannel(QString keyCommand) : keyCommand_(std::move(keyCommand)) {}

  bool open(Deliver /*deliver*/) override {
    const GSettingsHandle mediaKeys(kMediaKeys);
    if (!mediaKeys) {
      return false;
    }
    // The entries first: the daemon reads them when the list names them.
    for (const auto& binding : kBindings) {
      const GSettingsHandle entry(kCustomBinding, pathOf(binding).constData());
      const QByteArray command = quoted(keyCommand_).toUtf8() + " --media-key " + binding.key;
      if (!entry || !g_settings_set_string(entry.get(), "name", "Tonvara") ||
          !g_settings_set_string(entry.get(), "command", command.constData()) ||
          !g_settings_set_string(entry.get(), "binding", binding.keysym)) {
        return false;
      }
    }
    QList<QByteArray> paths = readList(mediaKeys.get());
    for (const auto& binding : kBindings) {
      if (!paths.contains(pathOf(binding))) {
        paths << pathOf(binding);
      }
    }
    const bool listed = writeList(mediaKeys.get(), paths);
    syncSettings();
    return listed;
  }

  // Removes exactly Tonvara's entries, also those a crashed run left behind.
  void close() override {
    const GSettingsHandle mediaKeys(kMediaKeys);
    if (!mediaKeys) {
      return;
    }
    QList<QByteArray> paths = readList(mediaKeys.get());
    if (paths.removeIf(isOurs) > 0) {
      // Back to the default when only Tonvara had added to it, as it was before.
      if (paths.isEmpty()) {
        g_settings_reset(mediaKeys.get(), kListKey);
      } else {
        writeList(mediaKeys.get(), paths);
      }
    }
    for (const auto& binding : kBindings) {
      const GSettingsHandle entry(kCustomBinding, pathOf(binding).constData());
      for (const char* key : {"name", "command", "binding"}) {
        g_settings_reset(entry.get(), key);
      }
    }
    syncSettings();
  }

 private:
  // The desktop runs the command through its own word splitting (g_shell_parse_argv).
  static QString quoted(const QString& program) {
    QString escaped = program;
    escaped.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + escaped + u'\'';
  }

  QString keyCommand_;
};

}  // namespace

std::unique_ptr<KeyDeliveryChannel> makeGnomeKeybindingChannel(const QString& keyCommand) {
  return std::make_unique<GnomeKeybindingChannel>(keyCommand);
}

}  // namespace tonvara::desktopkeys
