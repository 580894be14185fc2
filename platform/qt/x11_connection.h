#pragma once
// The application's X connection, or nothing when Qt runs on another platform.

#include <xcb/xcb.h>

#include <QGuiApplication>

namespace zumbolo {

inline xcb_connection_t* X11Connection() {
  const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace zumbolo
