#pragma once
// Closures for the user-interface thread, through Qt's event queue: Post may be called from any
// thread, never waits, and the closures run on the application's thread in the order posted.

#include <QCoreApplication>
#include <QMetaObject>
#include <functional>
#include <utility>

#include "platform/common/event_loop.h"

namespace zumbolo {

class QtPoster final : public UiThreadPoster {
 public:
  void Post(std::function<void()> task) override {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
  }
};

}  // namespace zumbolo
