#include "platform/qt/x11_window_hints.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <vector>

#include "platform/qt/x11_connection.h"

namespace zumbolo {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

struct Atoms {
  xcb_atom_t net_wm_state;
  xcb_atom_t skip_taskbar;
  xcb_atom_t skip_pager;
  xcb_atom_t net_wm_name;
  xcb_atom_t utf8_string;
  xcb_atom_t wm_client_leader;
};

// The program has one X connection, so the atoms are looked up once.
const Atoms& AtomsOf(xcb_connection_t* connection) {
  static const Atoms atoms{
      Atom(connection, "_NET_WM_STATE"),
      Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
      Atom(connection, "_NET_WM_STATE_SKIP_PAGER"),
      Atom(connection, "_NET_WM_NAME"),
      Atom(connection, "UTF8_STRING"),
      Atom(connection, "WM_CLIENT_LEADER"),
  };
  return atoms;
}

void SetName(xcb_connection_t* connection, xcb_window_t id, std::string_view title) {
  const Atoms& atoms = AtomsOf(connection);
  const auto length = static_cast<std::uint32_t>(title.size());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms.net_wm_name, atoms.utf8_string,
                      8, length, title.data());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      length, title.data());
  xcb_flush(connection);
}

}  // namespace

void SkipTaskbarAndPager(QWidget& window) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  const Atoms& atoms = AtomsOf(connection);
  const auto id = static_cast<xcb_window_t>(window.winId());

  std::vector<xcb_atom_t> states;
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, id, atoms.net_wm_state, XCB_ATOM_ATOM, 0, 64);
  if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
    if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
      const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
      states.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
  }
  for (xcb_atom_t wanted : {atoms.skip_taskbar, atoms.skip_pager}) {
    bool present = false;
    for (xcb_atom_t state : states) present = present || state == wanted;
    if (!present) states.push_back(wanted);
  }
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms.net_wm_state, XCB_ATOM_ATOM, 32,
                      static_cast<std::uint32_t>(states.size()), states.data());
  xcb_flush(connection);
}

void SetExactTitle(QWidget& window, std::string_view title) {
  window.setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  SetName(connection, static_cast<xcb_window_t>(window.winId()), title);
}

void RenameClientLeader(QWidget& window, std::string_view name) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  const Atoms& atoms = AtomsOf(connection);
  const auto id = static_cast<xcb_window_t>(window.winId());
  xcb_window_t leader = XCB_WINDOW_NONE;
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, id, atoms.wm_client_leader, XCB_ATOM_WINDOW, 0, 1);
  if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
    if (reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
        xcb_get_property_value_length(reply) >= 4) {
      leader = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
  }
  if (leader != XCB_WINDOW_NONE && leader != id) SetName(connection, leader, name);
}

}  // namespace zumbolo
