#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The operating system's services for the application core, in plain C++ so that Qt stays out
// of the Objective-C++ side.
namespace tonvara::mac {

// A value of the standard user-defaults domain, reduced to the kinds the settings use.
struct StoredValue {
  enum class Kind { absent, boolean, number, text, other };
  Kind kind = Kind::absent;
  bool boolean = false;
  double number = 0;
  std::string text;
};

StoredValue readDefault(const std::string& key);
void writeDefault(const std::string& key, const StoredValue& value);

// A string of the main bundle's Info.plist, or nothing (not a string, or no bundle).
std::optional<std::string> infoString(const std::string& key);

// Shows the system's Accessibility prompt when the process is not trusted yet.
void promptForAccessibility();
// Opens a URL such as a System Settings pane address; false when it is none.
bool openAddress(const std::string& address);
// `handler` runs on the main thread each time the application becomes active.
void observeDidBecomeActive(std::function<void()> handler);

// Login item of the main application: 0 not registered, 1 enabled, 2 needs approval, 3 not found.
int loginItemStatus();
// The error's description when (un)registering fails; it is also written to the system log.
std::optional<std::string> setLoginItemEnabled(bool enabled);

// Keeps the system from napping the process while it exists.
class SystemActivity {
 public:
  explicit SystemActivity(const std::string& reason);
  ~SystemActivity();
  SystemActivity(const SystemActivity&) = delete;
  SystemActivity& operator=(const SystemActivity&) = delete;

 private:
  struct Token;
  std::unique_ptr<Token> token_;
};

}  // namespace tonvara::mac
