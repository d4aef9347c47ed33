#pragma once

#pragma push_macro("signals")  // Qt's keyword names a member of GIO's structures
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <sys/stat.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <mutex>

#include "DbusSession.h"

namespace tonvara::testing {

// GNOME Shell's side of key grabbing, on the session bus this process's environment names:
// records what gsd-media-keys grabs and presses an accelerator's latest grab as the shell would.
class FakeShell {
 public:
  FakeShell() {
    sd_bus_open_user(&bus_);
    sd_bus_add_object(bus_, nullptr, kPath, handle, this);
    sd_bus_request_name(bus_, kInterface, 0);
    thread_ = std::thread([this] {
      for (; !stop_; sd_bus_wait(bus_, 10'000)) {
        const std::lock_guard guard(lock_);  // not held while waiting
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
      }
    });
  }
  ~FakeShell() { stop_ = true, thread_.join(), sd_bus_flush_close_unref(bus_); }

  // The latest grab of `accelerator` (gsd grabs again after each change), 0 when none.
  std::uint32_t newest(const std::string& accelerator) {
    const std::lock_guard guard(lock_);
    return static_cast<std::uint32_t>(grabbed_.rend() -
                                      std::find(grabbed_.rbegin(), grabbed_.rend(), accelerator));
  }
  bool press(const std::string& accelerator) {
    const std::uint32_t action = newest(accelerator);
    std::lock_guard guard(lock_);
    return action != 0 && sd_bus_emit_signal(bus_, kPath, kInterface, "AcceleratorActivated",
                                             "ua{sv}", action, 3, "device-id", "u", 3U, "timestamp",
                                             "u", 0U, "action-mode", "u", 1U) >= 0;
  }

 private:
  static constexpr auto kPath = "/org/gnome/Shell";
  static constexpr auto kInterface = "org.gnome.Shell";
  // Each grab's action is its position, from 1; ungrabs are only answered, and the rest refused.
  static int handle(sd_bus_message* call, void* self, sd_bus_error*) {
    if (!sd_bus_message_is_method_call(call, kInterface, "GrabAccelerators")) {
      return sd_bus_message_is_method_call(call, kInterface, "UngrabAccelerators")
                 ? sd_bus_reply_method_return(call, "b", 1)
                 : 0;
    }
    auto& shell = *static_cast<FakeShell*>(self);
    sd_bus_message* reply = nullptr;
    const char* accelerator = nullptr;
    std::uint32_t mode = 0, flags = 0;
    sd_bus_message_new_method_return(call, &reply);
    sd_bus_message_open_container(reply, 'a', "u");
    sd_bus_message_enter_container(call, 'a', "(suu)");
    while (sd_bus_message_read(call, "(suu)", &accelerator, &mode, &flags) > 0) {
      shell.grabbed_.emplace_back(accelerator);
      sd_bus_message_append(reply, "u", static_cast<std::uint32_t>(shell.grabbed_.size()));
    }
    sd_bus_message_close_container(reply);
    const int sent = sd_bus_send(nullptr, reply, nullptr);
    return sd_bus_message_unref(reply), sent;
  }

  sd_bus* bus_ = nullptr;
  std::mutex lock_;
  std::vector<std::string> grabbed_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A private GNOME settings world for a test program (bus, dconf-service, X server, config
// folder), named in this process's environment before GIO reads it, so writes reach the daemons.
class GnomeSession {
 public:
  static bool available() {
    return DbusSession::available() && hasProgram("Xvfb") &&
           std::filesystem::exists("/usr/libexec/dconf-service");
  }
  GnomeSession() : dir_(mkdtemp(std::string("/tmp/tonvara-desktop-XXXXXX").data())) {
    mkdir((dir_ + "/run").c_str(), 0700);
    setenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "dconf", 1);
    dconf_.emplace(ChildProcess::Options{{"/usr/libexec/dconf-service"}});
    waitFor([&] { return bus_.hasOwner("ca.desrt.dconf"); }, std::chrono::seconds(10));
  }
  ~GnomeSession() {
    // GIO's shared connection would end this process when its bus goes.
    g_dbus_connection_set_exit_on_close(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr), 0);
    dconf_.reset();
    std::filesystem::remove_all(dir_);
  }

  const std::string& dir() const { return dir_; }
  const DbusSession& bus() const { return bus_; }
  std::unique_ptr<ChildProcess> start(const std::string& program) {
    return std::make_unique<ChildProcess>(ChildProcess::Options{
        .argv = {program}, .environment = {{"DISPLAY", display_}}, .stderrPath = dir_ + "/log"});
  }

  // A key's value as GSettings prints it, "default" while the user never set it.
  static std::string value(const char* schema, const char* key, const char* path = nullptr) {
    g_autoptr(GSettings) settings =
        path ? g_settings_new_with_path(schema, path) : g_settings_new(schema);
    g_autoptr(GVariant) user = g_settings_get_user_value(settings, key);
    g_autofree gchar* text = user != nullptr ? g_variant_print(user, FALSE) : nullptr;
    return text != nullptr ? text : "default";
  }
  static void set(const char* schema, const char* key, const char* printed) {
    g_autoptr(GSettings) settings = g_settings_new(schema);
    g_settings_set_value(settings, key,
                         g_variant_parse(nullptr, printed, nullptr, nullptr, nullptr));
    g_settings_sync();
  }

 private:
  std::string dir_;
  DbusSession bus_{dir_};
  ChildProcess server_{
      {.argv = {"Xvfb", "-displayfd", "1", "-nolisten", "tcp"}, .stdoutPath = dir_ + "/display"}};
  std::string display_ = ":" + firstLine(dir_ + "/display").value_or("");
  std::optional<ChildProcess> dconf_;  // started once the environment names the bus
};

}  // namespace tonvara::testing
