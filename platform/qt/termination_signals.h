#pragma once
// SIGTERM, SIGINT and SIGHUP as ordinary events of the user-interface thread: the handler only
// writes a byte into a pipe, whose reading end a QSocketNotifier watches.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace zumbolo {

class TerminationSignals {
 public:
  // `received` runs on the user-interface thread for each signal that arrives. One instance only.
  explicit TerminationSignals(std::function<void()> received);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::function<void()> received_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace zumbolo
