#include "X11Desktop.h"

#include <xcb/xtest.h>

#include <QString>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

namespace tonvara::demo {

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }  // NOLINT: xcb allocates with malloc
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

}  // namespace

X11Desktop::X11Desktop(const std::string& displayName) {
  int screenNumber = 0;
  connection_ = xcb_connect(displayName.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot connect to " + displayName);
  }
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
}

X11Desktop::~X11Desktop() { xcb_disconnect(connection_); }

bool X11Desktop::hasClass(xcb_window_t window, const std::string& program) const {
  const Reply<xcb_get_property_reply_t> reply{xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
      nullptr)};
  if (!reply || xcb_get_property_value_length(reply.get()) <= 0) {
    return false;
  }
  // Two NUL-terminated parts: the instance and the class.
  const QString value =
      QString::fromLatin1(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
  const QString wanted = QString::fromStdString(program);
  for (const auto& part : value.split(QChar(u'\0'), Qt::SkipEmptyParts)) {
    if (part.compare(wanted, Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

void X11Desktop::collect(xcb_window_t window, const std::string& program, bool topLevel,
                         bool topLevelOnly, std::vector<QRect>& found) const {
  const Reply<xcb_query_tree_reply_t> tree{
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
  if (!tree) {
    return;
  }
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = 0; i < count; ++i) {
    const xcb_window_t child = children[i];
    const Reply<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, child), nullptr)};
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
      continue;
    }
    if ((topLevel || !topLevelOnly) && hasClass(child, program)) {
      const Reply<xcb_get_geometry_reply_t> geometry{
          xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, child), nullptr)};
      const Reply<xcb_translate_coordinates_reply_t> origin{xcb_translate_coordinates_reply(
          connection_, xcb_translate_coordinates(connection_, child, screen_->root, 0, 0),
          nullptr)};
      if (geometry && origin) {
        found.emplace_back(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
      }
    }
    collect(child, program, false, topLevelOnly, found);
  }
}

std::vector<QRect> X11Desktop::windowsOf(const std::string& program, bool topLevelOnly) const {
  std::vector<QRect> found;
  collect(screen_->root, program, true, topLevelOnly, found);
  return found;
}

QImage X11Desktop::capture() const {
  const auto width = screen_->width_in_pixels;
  const auto height = screen_->height_in_pixels;
  const Reply<xcb_get_image_reply_t> image{
      xcb_get_image_reply(connection_,
                          xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, 0, 0,
                                        width, height, ~0U),
                          nullptr)};
  if (!image || image->depth != 24 ||
      xcb_get_image_data_length(image.get()) < static_cast<int>(width) * height * 4) {
    return {};
  }
  // Depth 24 comes as 32-bit little-endian pixels, which is what RGB32 holds.
  return QImage(xcb_get_image_data(image.get()), width, height, width * 4, QImage::Format_RGB32)
      .copy();
}

void X11Desktop::click(QPoint at, int button) {
  const auto detail = static_cast<std::uint8_t>(button);
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen_->root,
                      static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()), 0);
  xcb_flush(connection_);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  // Round trip: the server has handled the click when this returns.
  Reply<xcb_get_input_focus_reply_t>{
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)};
}

QRect enclosing(const std::vector<QRect>& rects, int margin, const QRect& bounds) {
  QRect all;
  for (const auto& rect : rects) {
    all = all.united(rect);
  }
  return all.adjusted(-margin, -margin, margin, margin).intersected(bounds);
}

}  // namespace tonvara::demo
