#include "mpris/DesktopApps.h"

#include <gio/gdesktopappinfo.h>
#include <spawn.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <system_error>

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

SpawnResult spawnThroughGio(GDesktopAppInfo* info, const std::string& path,
                            const std::optional<std::string>& busAddress) {
  SpawnResult result;
  const GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
  if (busAddress) {
    g_app_launch_context_setenv(context.get(), "DBUS_SESSION_BUS_ADDRESS", busAddress->c_str());
  }
  GError* rawError = nullptr;
  const bool launched =
      g_desktop_app_info_launch_uris_as_manager(
          info, nullptr, context.get(),
          static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), &inNewSession,
          nullptr, &keepPid, &result, &rawError) != FALSE;
  const ErrorPtr error(rawError);
  if (!launched || result.pid <= 0) {
    result.error = error ? error->message : "cannot start " + path;
    result.pid = -1;
  }
  return result;
}

std::string shellQuoted(const char* text) {
  const std::unique_ptr<gchar, decltype(&g_free)> quoted(g_shell_quote(text), &g_free);
  return quoted.get();
}

// The Exec line split as GIO splits it for a launch without files: %f %F %u %U and the deprecated
// codes vanish, %i %c %k become the icon option, the name and the entry's file, %% a percent sign.
std::optional<std::vector<std::string>> commandOf(GDesktopAppInfo* info, const std::string& path) {
  const char* exec = g_app_info_get_commandline(G_APP_INFO(info));
  if (exec == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<gchar, decltype(&g_free)> icon(
      g_desktop_app_info_get_string(info, G_KEY_FILE_DESKTOP_KEY_ICON), &g_free);
  std::string line;
  for (const char* c = exec; *c != '\0'; ++c) {
    if (*c != '%' || c[1] == '\0') {
      line += *c;
      continue;
    }
    switch (*++c) {
      case '%':
        line += '%';
        break;
      case 'c':
        line += shellQuoted(g_app_info_get_name(G_APP_INFO(info)));
        break;
      case 'k':
        line += shellQuoted(path.c_str());
        break;
      case 'i':
        line += icon ? "--icon " + shellQuoted(icon.get()) : "";
        break;
      default:
        break;
    }
  }
  gchar** parsed = nullptr;
  if (g_shell_parse_argv(line.c_str(), nullptr, &parsed, nullptr) == FALSE) {
    return std::nullopt;
  }
  const std::unique_ptr<gchar*, decltype(&g_strfreev)> owned(parsed, &g_strfreev);
  std::vector<std::string> argv;
  for (gchar** argument = parsed; *argument != nullptr; ++argument) {
    argv.emplace_back(*argument);
  }
  return argv;
}

// posix_spawn rather than GLib's fork and exec: GLib 2.74 leaves the pipe it waits on for the
// exec open across exec, so a process another thread starts meanwhile inherits it and the launch
// then waits as long as that process lives.
SpawnResult spawnCommand(const std::vector<std::string>& argv, const std::string& directory,
                         const std::optional<std::string>& busAddress) {
  std::vector<std::string> environment;
  constexpr std::string_view kBusVariable = "DBUS_SESSION_BUS_ADDRESS=";
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (!busAddress || !std::string_view(*variable).starts_with(kBusVariable)) {
      environment.emplace_back(*variable);
    }
  }
  if (busAddress) {
    environment.push_back(std::string(kBusVariable) + *busAddress);
  }
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> list;
    list.reserve(strings.size() + 1);
    for (auto& text : strings) {
      list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
  };
  auto arguments = argv;
  auto argumentList = pointers(arguments);
  auto environmentList = pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &pipe);
  // Its own session: the player outlives us and our terminal.
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  SpawnResult result;
  const int error = posix_spawnp(&result.pid, argumentList.front(), &actions, &attributes,
                                 argumentList.data(), environmentList.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    result.pid = -1;
    result.error = "cannot start " + argv.front() + ": " + std::system_category().message(error);
  }
  return result;
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
  const auto file = loadKeyFile(path);
  // Made from the key file rather than by ID, GIO runs the Exec line even for a D-Bus
  // activatable entry.
  const GObjectPtr<GDesktopAppInfo> info(file ? g_desktop_app_info_new_from_keyfile(file.get())
                                              : nullptr);
  if (!info) {
    return {.error = "not a launchable application: " + path};
  }
  // GIO knows which terminal to run such a player in.
  if (g_desktop_app_info_get_boolean(info.get(), G_KEY_FILE_DESKTOP_KEY_TERMINAL) != FALSE) {
    return spawnThroughGio(info.get(), path, busAddress);
  }
  const auto argv = commandOf(info.get(), path);
  if (!argv) {
    return {.error = "not a launchable application: " + path};
  }
  const std::unique_ptr<gchar, decltype(&g_free)> directory(
      g_desktop_app_info_get_string(info.get(), G_KEY_FILE_DESKTOP_KEY_PATH), &g_free);
  return spawnCommand(*argv, directory ? directory.get() : "", busAddress);
}

}  // namespace tonvara::mpris
