#include "Backdrop.h"

#include <QGuiApplication>
#include <QString>
#include <cstdlib>
#include <memory>

#if defined(TONVARA_UI_HAS_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace tonvara::ui {
namespace {

#if defined(TONVARA_UI_HAS_XCB) && QT_CONFIG(xcb)
// A compositing manager owns the selection _NET_WM_CM_S<screen> (EWMH).
bool x11CompositingManagerRunning() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) {
    return false;
  }
  struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
  };
  static constexpr char kSelection[] = "_NET_WM_CM_S0";
  const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> atom(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, sizeof kSelection - 1, kSelection), nullptr));
  if (!atom || atom->atom == XCB_ATOM_NONE) {
    return false;
  }
  const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeReply> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                    nullptr));
  return owner && owner->owner != XCB_WINDOW_NONE;
}
#else
bool x11CompositingManagerRunning() { return false; }
#endif

}  // namespace

bool windowSystemComposites() {
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("cocoa") ||
      platform == QLatin1String("windows")) {
    return true;
  }
  if (platform == QLatin1String("xcb")) {
    return x11CompositingManagerRunning();
  }
  return false;
}

}  // namespace tonvara::ui
