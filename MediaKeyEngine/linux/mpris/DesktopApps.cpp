#include "mpris/DesktopApps.h"

#include <gio/gdesktopappinfo.h>
#include <unistd.h>

#include <csignal>
#include <memory>

namespace tonvara::mpris {

namespace {

struct GObjectDeleter {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;
struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_unref(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;
struct ErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorDeleter>;
struct ListDeleter {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

constexpr std::string_view kSuffix = ".desktop";

std::optional<DesktopApp> describe(GAppInfo* info) {
  auto* desktop = G_IS_DESKTOP_APP_INFO(info) ? G_DESKTOP_APP_INFO(info) : nullptr;
  const char* id = g_app_info_get_id(info);
  const char* path = desktop != nullptr ? g_desktop_app_info_get_filename(desktop) : nullptr;
  if (id == nullptr || path == nullptr) {
    return std::nullopt;
  }
  const char* name = g_app_info_get_name(info);
  return DesktopApp{entryNameFromId(id), path, id, name != nullptr ? name : id};
}

KeyFilePtr loadKeyFile(const std::string& path) {
  KeyFilePtr file(g_key_file_new());
  if (g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr) == FALSE) {
    return nullptr;
  }
  return file;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
void inNewSession(gpointer /*unused*/) {
  setsid();
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
}

void keepPid(GDesktopAppInfo* /*info*/, GPid pid, gpointer result) {
  static_cast<SpawnResult*>(result)->pid = pid;
}

}  // namespace

std::string entryNameFromId(const std::string& desktopId) {
  const std::string_view id(desktopId);
  if (id.size() > kSuffix.size() && id.substr(id.size() - kSuffix.size()) == kSuffix) {
    return std::string(id.substr(0, id.size() - kSuffix.size()));
  }
  return desktopId;
}

std::optional<DesktopApp> defaultApplicationFor(const std::string& mimeType) {
  GObjectPtr<GAppInfo> info(g_app_info_get_default_for_type(mimeType.c_str(), FALSE));
  return info ? describe(info.get()) : std::nullopt;
}

std::vector<DesktopApp> installedPlayers() {
  std::vector<DesktopApp> players;
  const std::unique_ptr<GList, ListDeleter> all(g_app_info_get_all());
  for (GList* item = all.get(); item != nullptr; item = item->next) {
    auto* info = static_cast<GAppInfo*>(item->data);
    const char* categories = G_IS_DESKTOP_APP_INFO(info)
                                 ? g_desktop_app_info_get_categories(G_DESKTOP_APP_INFO(info))
                                 : nullptr;
    const std::string list = categories != nullptr ? std::string(";") + categories : "";
    if (list.find(";Audio;") != std::string::npos && list.find(";Player;") != std::string::npos) {
      if (auto app = describe(info)) {
        players.push_back(std::move(*app));
      }
    }
  }
  return players;
}

std::optional<DesktopApp> installedApplication(const std::string& desktopId) {
  if (desktopId.empty()) {
    return std::nullopt;
  }
  const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new(desktopId.c_str()));
  // A hidden entry is one the user deleted.
  if (!info || g_desktop_app_info_get_is_hidden(info.get()) != FALSE) {
    return std::nullopt;
  }
  return describe(G_APP_INFO(info.get()));
}

std::optional<LaunchableEntry> readLaunchableEntry(const std::string& path) {
  const auto file = loadKeyFile(path);
  if (!file) {
    return std::nullopt;
  }
  const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_keyfile(file.get()));
  if (!info) {
    return std::nullopt;
  }
  const auto slash = path.rfind('/');
  LaunchableEntry entry;
  entry.entryName = entryNameFromId(slash == std::string::npos ? path : path.substr(slash + 1));
  entry.dbusActivatable =
      g_key_file_get_boolean(file.get(), G_KEY_FILE_DESKTOP_GROUP,
                             G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE, nullptr) != FALSE;
  return entry;
}

SpawnResult spawnEntry(const std::string& path, const std::optional<std::string>& busAddress) {
  SpawnResult result;
  const auto file = loadKeyFile(path);
  // Made from the key file rather than by ID, GIO runs the Exec line even for a D-Bus
  // activatable entry.
  const GObjectPtr<GDesktopAppInfo> info(file ? g_desktop_app_info_new_from_keyfile(file.get())
                                              : nullptr);
  if (!info) {
    result.error = "not a launchable application: " + path;
    return result;
  }
  const GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
  if (busAddress) {
    g_app_launch_context_setenv(context.get(), "DBUS_SESSION_BUS_ADDRESS", busAddress->c_str());
  }
  GError* rawError = nullptr;
  const bool launched =
      g_desktop_app_info_launch_uris_as_manager(
          info.get(), nullptr, context.get(),
          static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), &inNewSession,
          nullptr, &keepPid, &result, &rawError) != FALSE;
  const ErrorPtr error(rawError);
  if (!launched || result.pid <= 0) {
    result.error = error ? error->message : "cannot start " + path;
    result.pid = -1;
  }
  return result;
}

}  // namespace tonvara::mpris
