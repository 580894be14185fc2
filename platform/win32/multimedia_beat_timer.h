#pragma once
// The beat clock's system timer on Windows: a periodic multimedia timer (timeSetEvent) whose
// callback, on the system's timer thread, hands each beat to the user-interface thread with
// SendMessageTimeoutW(WM_TIMER) to the hidden window "TMMTimerWindow"; the window runs the beat
// and answers 3333. A hand-over that is not answered in time is lost: the callback kills its
// timer, records the loss and posts the lost-beat notice. The user-interface thread hears of the
// loss first thing when the late beat reaches it (HandOverTimedOut, then the beat) and delivers
// the notice after it (DeliverLostNotice).
//
// Neither thread waits for the other beyond the hand-over's time-out: the timer thread never
// sends the notice, it posts it, and Kill (timeKillEvent without TIME_KILL_SYNCHRONOUS) returns
// at once, even from inside a beat. A beat of a killed clock may still be on its way to the
// window then. So every hand-over carries its number in wParam, and the window drops the ones
// sent before the latest Kill: no beat is handed over after Kill has returned. The number also
// tells the late beat of a lost hand-over, where the system still delivers it; where it drops a
// message that timed out instead (Wine does), the notice alone brings the news of the loss.

#include <cstdint>
#include <mutex>

#include "platform/win32/window.h"
#include "ports/timers.h"

namespace zumbolo::win32 {

class MultimediaBeatTimer final : public Window, public BeatTimer {
 public:
  explicit MultimediaBeatTimer(HWND owner);
  ~MultimediaBeatTimer() override;

  bool Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) override;
  void Kill() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct Shared;
  static void CALLBACK HandOver(UINT id, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  LRESULT OnBeat(std::uint64_t number);
  LRESULT OnLostNotice();
  // Whether the loss of hand-over `number` (any pending loss, for 0) was pending; it is not now.
  bool TakeLoss(std::uint64_t number);

  Shared* shared_;  // what the timer thread reads; see the destructor
  UniqueMultimediaTimer timer_;
  BeatSink* sink_ = nullptr;
  int beats_running_ = 0;    // beats on the stack of this thread
  int notices_waiting_ = 0;  // notices that came in while a beat ran
};

}  // namespace zumbolo::win32
