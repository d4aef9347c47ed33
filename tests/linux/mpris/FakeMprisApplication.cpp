#include "FakeMprisApplication.h"

#include <cstring>
#include <utility>

namespace tonvara::testing {

namespace {

std::string objectPathFor(const std::string& busName) {
  std::string path = "/" + busName;
  for (auto& c : path) {
    c = c == '.' ? '/' : c == '-' ? '_' : c;
  }
  return path;
}

}  // namespace

FakeMprisApplication::FakeMprisApplication(Options options) : options_(std::move(options)) {
  thread_ = std::thread([this] { run(); });
}

FakeMprisApplication::~FakeMprisApplication() {
  stopping_.store(true);
  thread_.join();
}

void FakeMprisApplication::run() {
  if (sd_bus_new(&bus_) < 0) {
    return;
  }
  if (sd_bus_set_address(bus_, options_.busAddress.c_str()) < 0 ||
      sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0) {
    sd_bus_close_unref(bus_);
    return;
  }
  sd_bus_add_object(bus_, nullptr, "/org/mpris/MediaPlayer2", &onMessage, this);
  if (options_.applicationName) {
    sd_bus_add_object(bus_, nullptr, objectPathFor(*options_.applicationName).c_str(), &onMessage,
                      this);
    sd_bus_request_name(bus_, options_.applicationName->c_str(), 0);
  } else {
    takeMprisNames();
  }
  ready_.store(true);
  while (!stopping_.load()) {
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    sd_bus_wait(bus_, 20'000);
  }
  sd_bus_close_unref(bus_);
}

void FakeMprisApplication::takeMprisNames() {
  for (const auto& name : options_.mprisNames) {
    sd_bus_request_name(bus_, name.c_str(), 0);
  }
}

int FakeMprisApplication::onMessage(sd_bus_message* message, void* userdata,
                                    sd_bus_error* /*error*/) {
  return static_cast<FakeMprisApplication*>(userdata)->handle(message);
}

int FakeMprisApplication::handle(sd_bus_message* message) {
  if (sd_bus_message_is_method_call(message, "org.freedesktop.Application", "Activate") > 0) {
    ++activations_;
    takeMprisNames();
    return sd_bus_reply_method_return(message, "");
  }
  if (sd_bus_message_is_method_call(message, "org.freedesktop.DBus.Properties", "Get") > 0) {
    const char* interface = nullptr;
    const char* property = nullptr;
    if (sd_bus_message_read(message, "ss", &interface, &property) >= 0 &&
        std::strcmp(interface, "org.mpris.MediaPlayer2") == 0) {
      if (std::strcmp(property, "DesktopEntry") == 0) {
        return sd_bus_reply_method_return(message, "v", "s", options_.desktopEntry.c_str());
      }
      if (std::strcmp(property, "Identity") == 0) {
        return sd_bus_reply_method_return(message, "v", "s", "Fake");
      }
    }
    return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_UNKNOWN_PROPERTY, "no such property");
  }
  return 0;
}

}  // namespace tonvara::testing
