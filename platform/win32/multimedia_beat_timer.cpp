#include "platform/win32/multimedia_beat_timer.h"

namespace zumbolo::win32 {

namespace {

constexpr LRESULT kBeatTaken = 3333;
constexpr UINT kLostNotice = WM_APP + 1;

}  // namespace

// Hand-overs are numbered 1, 2, 3... as the timer thread sends them. Every field is guarded by
// `mutex`.
struct MultimediaBeatTimer::Shared {
  std::mutex mutex;
  HWND window = nullptr;
  bool closed = false;
  UINT armed = 0;                // the timer whose beats are handed over; 0 while none is
  DWORD hand_over_ms = 0;
  std::uint64_t sent = 0;        // the number of the latest hand-over sent
  std::uint64_t stale_upto = 0;  // hand-overs up to this number belong to a clock killed since
  std::uint64_t lost = 0;        // the hand-over that timed out, until the window has heard of it
};

MultimediaBeatTimer::MultimediaBeatTimer(HWND owner) : shared_(new Shared) {
  CreateHidden(L"TMMTimerWindow", owner);
  shared_->window = hwnd();
}

MultimediaBeatTimer::~MultimediaBeatTimer() {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closed = true;
    shared_->armed = 0;
  }
  timer_.reset();
  // A callback of the killed timer may still be on its way (the kill does not wait for it), and
  // it reads `shared_`: those few bytes stay allocated until the process ends.
}

bool MultimediaBeatTimer::Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) {
  Kill();
  sink_ = &sink;
  // The lock is held until the new timer's id is known, so its first callback waits for it.
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->hand_over_ms = hand_over_ms;
  const UINT id = timeSetEvent(interval_ms, 0, &MultimediaBeatTimer::HandOver,
                               reinterpret_cast<DWORD_PTR>(shared_), TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  shared_->armed = id;
  timer_.reset(id);
  return id != 0;
}

void MultimediaBeatTimer::Kill() {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->armed = 0;
    // Whatever is on its way to the window now belongs to the clock being killed.
    shared_->stale_upto = shared_->sent;
  }
  timer_.reset();
}

void CALLBACK MultimediaBeatTimer::HandOver(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  Shared& shared = *reinterpret_cast<Shared*>(user);
  HWND window = nullptr;
  DWORD wait = 0;
  std::uint64_t number = 0;
  {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.closed || id != shared.armed) return;
    number = ++shared.sent;
    window = shared.window;
    wait = shared.hand_over_ms;
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(window, WM_TIMER, static_cast<WPARAM>(number), 0, SMTO_ABORTIFHUNG, wait, &answer);
  if (answer == kBeatTaken) return;
  {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.closed || id != shared.armed) return;  // killed meanwhile: nothing was lost
    shared.armed = 0;
    shared.lost = number;
  }
  timeKillEvent(id);
  PostMessageW(window, kLostNotice, 0, 0);
}

LRESULT MultimediaBeatTimer::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER: return OnBeat(static_cast<std::uint64_t>(wparam));
    case kLostNotice: return OnLostNotice();
    default: return Window::HandleMessage(message, wparam, lparam);
  }
}

bool MultimediaBeatTimer::TakeLoss(std::uint64_t number) {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  const bool pending = shared_->lost != 0 && (number == 0 || shared_->lost == number);
  if (pending) shared_->lost = 0;
  return pending;
}

LRESULT MultimediaBeatTimer::OnBeat(std::uint64_t number) {
  if (!sink_ || number == 0) return kBeatTaken;
  // The late beat of a lost hand-over: the loss is heard of first.
  const bool late = TakeLoss(number);
  if (!late) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (number <= shared_->stale_upto) return kBeatTaken;  // a beat of a killed clock
  }
  ++beats_running_;
  if (late) sink_->HandOverTimedOut();
  sink_->TakeBeat();
  --beats_running_;
  // This very beat ran past the hand-over's time-out: it was lost while it ran.
  if (TakeLoss(number)) sink_->HandOverTimedOut();
  if (beats_running_ == 0) {
    for (; notices_waiting_ > 0; --notices_waiting_) sink_->DeliverLostNotice();
  }
  return kBeatTaken;
}

LRESULT MultimediaBeatTimer::OnLostNotice() {
  if (!sink_) return 0;
  // The notice comes after the late beat, never inside a beat that is still running.
  if (beats_running_ > 0) {
    ++notices_waiting_;
    return 0;
  }
  // A loss whose late beat never came (the system dropped the message that timed out): the loss
  // is heard of now, without a late beat.
  if (TakeLoss(0)) sink_->HandOverTimedOut();
  sink_->DeliverLostNotice();
  return 0;
}

}  // namespace zumbolo::win32
