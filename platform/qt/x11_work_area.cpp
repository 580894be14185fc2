#include "platform/qt/x11_work_area.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/qt/x11_connection.h"

namespace zumbolo {

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
  std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// A CARDINAL list property of the root window.
std::unique_ptr<xcb_get_property_reply_t, FreeReply> Cardinals(xcb_connection_t* connection, xcb_window_t root,
                                                                xcb_atom_t atom, std::uint32_t count) {
  std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, atom, XCB_ATOM_CARDINAL, 0, count), nullptr));
  if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32) return nullptr;
  return reply;
}

}  // namespace

std::optional<QRect> X11WorkArea() {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return std::nullopt;
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  if (!screens.rem) return std::nullopt;
  const xcb_window_t root = screens.data->root;
  const xcb_atom_t work_area = Atom(connection, "_NET_WORKAREA");
  if (work_area == XCB_ATOM_NONE) return std::nullopt;
  std::uint32_t desktop = 0;
  if (const xcb_atom_t current = Atom(connection, "_NET_CURRENT_DESKTOP"); current != XCB_ATOM_NONE) {
    if (auto reply = Cardinals(connection, root, current, 1); reply && xcb_get_property_value_length(reply.get()) >= 4) {
      desktop = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    }
  }
  auto reply = Cardinals(connection, root, work_area, 4 * (desktop + 1));
  if (!reply) return std::nullopt;
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  if (count < 4) return std::nullopt;
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const int at = count >= static_cast<int>(4 * (desktop + 1)) ? static_cast<int>(4 * desktop) : 0;
  const QRect area(static_cast<int>(values[at]), static_cast<int>(values[at + 1]), static_cast<int>(values[at + 2]),
                   static_cast<int>(values[at + 3]));
  if (area.isEmpty()) return std::nullopt;
  return area;
}

}  // namespace zumbolo
