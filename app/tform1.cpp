#include "app/tform1.h"

#include "routines/routines.h"

namespace zumbolo {

TForm1::TForm1(Ports ports)
    : trace(ports.trace),
      stage(ports.stage),
      shell(ports.shell),
      resources(ports.resources),
      open_profile(std::move(ports.open_profile)),
      ActionList1(ports.trace),
      PopupMenu1(ports.trace, ActionList1),
      figures(ports.stage, ports.trace, sprites),
      window(ports.stage, ports.trace),
      MMTimer1(ports.beat_timer, ports.trace),
      Timer1(ports.after_show_timer, ports.trace, "timer1", 3000),
      mgraph(ports.graph, ports.trace, *this),
      Form2(ports.stage, ports.trace),
      Form3(ports.stage, ports.trace) {
  MMTimer1.SetHooks({
      .run_beat = [this](const Routine& routine) { RunBeat(routine); },
      .send_lost_notice = [this] { trace("dance", static_cast<int>(dcBeatLost)); },
      .handle_lost_notice = [this] { Guarded([this] { WMDance(dcBeatLost); }); },
      .report = [this](const std::exception& error) { ShowException(error); },
  });
  MMTimer1.Design(451, &kBgmShow);
  Timer1.SetOnTimer([this] {
    trace("event", "timer1");
    Guarded([this] { Timer1Timer(); });
  });
}

TForm1::~TForm1() = default;

void TForm1::ShowException(const std::exception& error) {
  if (dynamic_cast<const UnwrittenTrack*>(&error)) return;
  TellUser(error.what());
}

void TForm1::TellUser(const std::string& text) {
  trace("error", text);
  shell.ShowError(text);
}

void TForm1::GraphComplete() {
  trace("event", "complete");
  Guarded([this] { mgraphGraphComplete(); });
}

void TForm1::GraphPaused() {
  trace("event", "paused");
  Guarded([this] { mgraphGraphPaused(); });
}

}  // namespace zumbolo
