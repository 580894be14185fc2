#include "platform/qt/full_screen_watcher.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/qt/x11_connection.h"

namespace zumbolo {

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Adds `events` to what this client hears of `window`, keeping what it heard already (Qt's own
// selection on the root window among it).
void AddEvents(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events) {
  Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
  if (!attributes) return;  // gone already
  const std::uint32_t mask = attributes->your_event_mask | events;
  xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

}  // namespace

FullScreenWatcher::FullScreenWatcher(QWidget& figures, std::function<void(bool)> changed)
    : figures_(figures), changed_(std::move(changed)) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  own_base_ = setup->resource_id_base;
  own_mask_ = setup->resource_id_mask;
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  if (!screens.rem) return;
  root_ = screens.data->root;
  active_atom_ = Atom(connection, "_NET_ACTIVE_WINDOW");
  state_atom_ = Atom(connection, "_NET_WM_STATE");
  fullscreen_atom_ = Atom(connection, "_NET_WM_STATE_FULLSCREEN");
  if (!active_atom_ || !state_atom_ || !fullscreen_atom_) return;
  QCoreApplication::instance()->installNativeEventFilter(this);
  installed_ = true;
  AddEvents(connection, root_, XCB_EVENT_MASK_PROPERTY_CHANGE);
  xcb_flush(connection);
  Recheck();
}

FullScreenWatcher::~FullScreenWatcher() {
  if (installed_ && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool FullScreenWatcher::nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) {
  if (event_type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  switch (event->response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY: {
      const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
      if ((property->window == root_ && property->atom == active_atom_) ||
          (property->window == followed_ && followed_ && property->atom == state_atom_)) {
        Recheck();
      }
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
      if (followed_ && configure->window == followed_) Recheck();
      break;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto* unmap = static_cast<const xcb_unmap_notify_event_t*>(message);
      if (followed_ && unmap->window == followed_) Recheck();
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* destroy = static_cast<const xcb_destroy_notify_event_t*>(message);
      if (followed_ && destroy->window == followed_) {
        followed_ = 0;
        Recheck();
      }
      break;
    }
    default:
      break;
  }
  return false;  // Qt handles every event as well
}

void FullScreenWatcher::Recheck() {
  // Once the events at hand are handled: a burst of them is looked at once, and the answer does
  // not reach the engine from inside Qt's event filter.
  if (check_pending_ || !installed_) return;
  check_pending_ = true;
  QMetaObject::invokeMethod(QCoreApplication::instance(), [this] {
    check_pending_ = false;
    Check();
  }, Qt::QueuedConnection);
}

void FullScreenWatcher::Check() {
  const xcb_window_t active = ActiveWindow();
  Follow(active);
  const bool full_screen = active != XCB_WINDOW_NONE && !IsOurs(active) && IsFullScreen(active) &&
                           CoversTheFigures(active);
  if (reported_ == full_screen) return;
  reported_ = full_screen;
  if (changed_) changed_(full_screen);
}

std::uint32_t FullScreenWatcher::ActiveWindow() {
  xcb_connection_t* connection = X11Connection();
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root_, active_atom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
    return XCB_WINDOW_NONE;
  }
  return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

void FullScreenWatcher::Follow(std::uint32_t window) {
  if (window == followed_) return;
  xcb_connection_t* connection = X11Connection();
  // Our own windows are Qt's to listen to: their event masks are left as Qt set them.
  if (followed_ && !IsOurs(followed_)) {
    const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(connection, followed_, XCB_CW_EVENT_MASK, &none);
  }
  followed_ = window;
  if (followed_ && !IsOurs(followed_)) {
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, followed_, XCB_CW_EVENT_MASK, &events);
  }
  xcb_flush(connection);
}

bool FullScreenWatcher::IsFullScreen(std::uint32_t window) {
  xcb_connection_t* connection = X11Connection();
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, state_atom_, XCB_ATOM_ATOM, 0, 64), nullptr));
  if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) return false;
  const auto* states = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  for (int i = 0; i < count; ++i) {
    if (states[i] == fullscreen_atom_) return true;
  }
  return false;
}

bool FullScreenWatcher::CoversTheFigures(std::uint32_t window) {
  // A full-screen window fills its monitor: the figures are on that monitor when their window's
  // centre lies in it. Both in the root window's coordinates; the figures' window keeps its
  // place while it is hidden.
  xcb_connection_t* connection = X11Connection();
  const auto place = [connection, this](xcb_window_t id, int& x, int& y, int& width, int& height) {
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr));
    if (!geometry) return false;
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, id, root_, 0, 0), nullptr));
    if (!origin) return false;
    x = origin->dst_x;
    y = origin->dst_y;
    width = geometry->width;
    height = geometry->height;
    return true;
  };
  int fx = 0, fy = 0, fw = 0, fh = 0;
  if (!place(static_cast<xcb_window_t>(figures_.winId()), fx, fy, fw, fh)) return true;
  int x = 0, y = 0, width = 0, height = 0;
  if (!place(window, x, y, width, height)) return false;
  const int cx = fx + fw / 2, cy = fy + fh / 2;
  return cx >= x && cx < x + width && cy >= y && cy < y + height;
}

bool FullScreenWatcher::IsOurs(std::uint32_t window) const { return (window & ~own_mask_) == own_base_; }

}  // namespace zumbolo
