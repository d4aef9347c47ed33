#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <optional>
#include <string>
#include <vector>

namespace tonvara::demo {

// What the demo looks at and clicks on a display it owns: windows found by their class, screen
// captures, and pointer clicks that the server handles like hardware input (XTest).
class X11Desktop {
 public:
  explicit X11Desktop(const std::string& displayName);
  ~X11Desktop();

  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  // Viewable windows anywhere in the tree whose WM_CLASS names `program` (either part, any
  // case), in screen coordinates. Top-levels only when `topLevelOnly`.
  std::vector<QRect> windowsOf(const std::string& program, bool topLevelOnly) const;
  // The whole screen as it is now.
  QImage capture() const;
  void click(QPoint at, int button);

 private:
  void collect(xcb_window_t window, const std::string& program, bool topLevel, bool topLevelOnly,
               std::vector<QRect>& found) const;
  bool hasClass(xcb_window_t window, const std::string& program) const;

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
};

// The smallest rectangle holding all of `rects`, grown by `margin` and kept on `bounds`.
QRect enclosing(const std::vector<QRect>& rects, int margin, const QRect& bounds);

}  // namespace tonvara::demo
