#include "tools/sim/sim_ports.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <vector>

#include "sound/mp3_info.h"

namespace zumbolo::sim {

// ---- The beat clock's system timer ---------------------------------------------------------

bool SimBeatTimer::Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) {
  ++generation_;
  sink_ = &sink;
  interval_ = FromMs(interval_ms);
  hand_over_ = FromMs(hand_over_ms);
  Arm(scheduler_.Now() + interval_);
  return true;
}

void SimBeatTimer::Arm(Ticks due) {
  struct HandOver {
    bool taken = false;
    bool lost = false;
  };
  const std::uint64_t generation = generation_;
  const auto hand_over = std::make_shared<HandOver>();
  BeatSink* sink = sink_;

  // The beat is handed to the user-interface thread at its moment, or when that thread is free.
  scheduler_.Ui(due, Lane::Beat, [this, generation, hand_over, sink] {
    if (generation_ != generation && !hand_over->lost) return;  // the clock was stopped first
    hand_over->taken = true;
    sink->TakeBeat();
  });
  // A beat not taken within the time-out is lost: the clock stops, the owner hears of it.
  scheduler_.Clock(due + hand_over_, [this, generation, hand_over, sink, due] {
    if (hand_over->taken || generation_ != generation) return;
    hand_over->lost = true;
    sink->HandOverTimedOut();
    scheduler_.Ui(due + hand_over_, Lane::Beat, [sink] { sink->DeliverLostNotice(); });
  });
  scheduler_.Clock(due + interval_, [this, generation, due] {
    if (generation_ == generation) Arm(due + interval_);
  });
}

// ---- The after-show timer ----------------------------------------------------------------------

void SimUiTimer::Start(std::uint32_t ms, std::function<void()> tick) {
  ++generation_;
  period_ = FromMs(ms);
  tick_ = std::move(tick);
  Arm(scheduler_.Now() + period_);
}

void SimUiTimer::Arm(Ticks due) {
  const std::uint64_t generation = generation_;
  scheduler_.Ui(due, Lane::AfterShow, [this, generation, due] {
    if (generation_ != generation) return;
    tick_();
    if (generation_ == generation) Arm(due + period_);
  });
}

// ---- The player ----------------------------------------------------------------------------

void SimPlayer::Create(MediaEvents& events) {
  events_ = &events;
  track_.reset();
  running_ = false;
  ++generation_;
}

void SimPlayer::Release() {
  events_ = nullptr;
  track_.reset();
  running_ = false;
  ++generation_;
}

void SimPlayer::RenderFile(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MediaError("The system cannot find the file specified. ($80070002).", 0x80070002L);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Ticks duration = 0;
  if (const auto given = durations_.find(name); given != durations_.end()) {
    duration = given->second;
  } else {
    const auto info = ReadMp3Info(bytes);
    if (!info || info->audio_frames <= 0) {
      throw MediaError("Cannot play back the file. The format is not supported. ($80040265).", 0x80040265L);
    }
    const __int128 samples = static_cast<__int128>(info->audio_frames) * info->samples_per_frame;
    duration = static_cast<Ticks>(samples * kTicksPerMs * 1000 / info->sample_rate);
  }
  track_ = Track{name, duration};
  running_ = false;
  end_delivered_ = false;
  position_ = 0;
  since_ = scheduler_.Now();
  ++generation_;
}

Ticks SimPlayer::Position() const {
  if (!track_) return 0;
  if (!running_) return position_;
  const Ticks at = position_ + (scheduler_.Now() - since_);
  return at < track_->duration ? at : track_->duration;
}

void SimPlayer::Run() {
  if (!track_ || running_) return;  // a running track, even one at its end, runs on
  position_ = Position();
  since_ = scheduler_.Now();
  running_ = true;
  ScheduleEnd();
}

bool SimPlayer::Stop() {
  if (running_) {
    position_ = Position();
    since_ = scheduler_.Now();
    running_ = false;
  }
  ++generation_;
  return true;
}

PlayerState SimPlayer::State() { return running_ ? psPlaying : psStopped; }

void SimPlayer::RemoveAll() {
  Stop();
  track_.reset();
}

void SimPlayer::SetPosition(std::int64_t position) {
  if (!track_) return;
  Ticks at = position * kTicksPerMediaUnit;
  if (at < 0) at = 0;
  if (at > track_->duration) at = track_->duration;
  position_ = at;
  since_ = scheduler_.Now();
  if (at < track_->duration) end_delivered_ = false;
  ++generation_;
  if (running_) ScheduleEnd();  // a seek in a running graph plays on from there
}

std::optional<std::string> SimPlayer::Loaded() const {
  if (!track_) return std::nullopt;
  return track_->name;
}

void SimPlayer::ScheduleEnd() {
  ++generation_;
  // A track that has already reported its end there has nothing more to play: without this a
  // handler that answers the end by seeking to it again would loop in one virtual moment.
  if (position_ >= track_->duration && end_delivered_) return;
  const std::uint64_t generation = generation_;
  scheduler_.Ui(scheduler_.Now() + (track_->duration - position_), Lane::TrackEnd, [this, generation] {
    if (generation_ != generation || !events_) return;
    end_delivered_ = true;
    events_->GraphComplete();
  });
}

// ---- The shell -----------------------------------------------------------------------------

std::vector<WorkArea> SimShell::ScreenWorkAreas() {
  std::vector<WorkArea> all = {work_area_};
  all.insert(all.end(), screens_.begin(), screens_.end());
  return all;
}

std::string SimShell::SetStartAtLogin(bool on) {
  if (login_start_unwritable) return "cannot write the autostart entry";
  starts_at_login = on;
  return {};
}

LocalDate SimShell::Today() {
  using namespace std::chrono;
  const std::int64_t seconds = clock_start_ + WholeMs(scheduler_.Now()) / 1000;
  const sys_days day = floor<days>(sys_seconds(std::chrono::seconds(seconds)));
  const year_month_day date(day);
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day()))};
}

}  // namespace zumbolo::sim
