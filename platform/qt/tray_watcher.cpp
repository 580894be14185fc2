#include "platform/qt/tray_watcher.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <cstdlib>
#include <string_view>

#include "platform/qt/x11_connection.h"

namespace zumbolo {

TrayWatcher::TrayWatcher(std::function<void()> appeared) : appeared_(std::move(appeared)) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  constexpr std::string_view kManager = "MANAGER";
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, kManager.size(), kManager.data()), nullptr);
  if (!reply) return;
  manager_atom_ = reply->atom;
  std::free(reply);
  QCoreApplication::instance()->installNativeEventFilter(this);
  installed_ = true;
}

TrayWatcher::~TrayWatcher() {
  if (installed_ && QCoreApplication::instance()) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
}

bool TrayWatcher::nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) {
  if (event_type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  if (client->type != manager_atom_ || client->format != 32) return false;
  if (!IsTraySelection(client->data.data32[1])) return false;
  // Queued: Qt handles the same message after this filter, and must know the new tray first.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [this] {
    if (appeared_) appeared_();
  }, Qt::QueuedConnection);
  return false;
}

bool TrayWatcher::IsTraySelection(std::uint32_t atom) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return false;
  xcb_get_atom_name_reply_t* reply =
      xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr);
  if (!reply) return false;
  const std::string_view name(xcb_get_atom_name_name(reply),
                              static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
  const bool tray = name.rfind("_NET_SYSTEM_TRAY_S", 0) == 0;
  std::free(reply);
  return tray;
}

}  // namespace zumbolo
