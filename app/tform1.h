#pragma once
// TForm1, the main window: the three figures, and the owner of everything else (the beat clock,
// the after-show timer, the music player, the menu and its actions, the pop-up windows) and of
// the program-wide state. Its handlers are spread over the rooms they belong to; each group
// below names its file.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/actions.h"
#include "app/popup_menu.h"
#include "engine/beat_clock.h"
#include "engine/dance_state.h"
#include "engine/figures.h"
#include "engine/plain_timer.h"
#include "engine/popups.h"
#include "engine/positions.h"
#include "engine/random.h"
#include "engine/routine.h"
#include "engine/sprite_set.h"
#include "ports/media_graph.h"
#include "ports/profile_store.h"
#include "ports/resources.h"
#include "ports/shell.h"
#include "ports/stage.h"
#include "ports/timers.h"
#include "ports/trace.h"
#include "sound/mgraph.h"

namespace zumbolo {

// The request codes of WM_DANCE.
enum DanceCode : int {
  dcPlay = 0,
  dcReplayCue = 1,
  dcLoadHitSound = 2,
  dcLoadHeavenTrack = 4,
  dcLoadTellTrack = 5,
  dcResumePlay = 6,
  dcHaltMusic = 9,
  dcLoadFuniculiTrack = 10,
  dcLoadRadetzkyTrack = 11,
  dcStartClock = 13,
  dcBeatLost = 100,
  dcShowEnded = 110,
};

// The mouse messages the tray icon reports.
constexpr int kLeftButtonDown = 0x201;
constexpr int kRightButtonDown = 0x204;

struct StartupArgs {
  std::vector<std::string> args;  // the command line, without the program's own name
  std::filesystem::path exe_dir;  // the folder of the track files (the executable's, on Windows)
  std::filesystem::path settings_dir;  // the folder of zumbolo.ini; empty: exe_dir
  std::uint32_t random_seed = 0;  // from the clock, or chosen for a repeatable run
  // Why the platform could not make a folder (empty: it is there).
  std::error_code exe_dir_error{};
  std::error_code settings_dir_error{};
};

// The load of a track that could not be written at start-up. The user was told then, so the
// error box does not show it again; otherwise it is a failed load like any other.
class UnwrittenTrack : public MediaError {
 public:
  explicit UnwrittenTrack(std::string_view file)
      : MediaError("「" + std::string(file) + "」は書き込めなかったので鳴らせません。", 0x80070002L) {}
};

class TForm1 : private MediaEvents {
 public:
  using ProfileOpener = std::function<std::unique_ptr<ProfileStore>(const std::filesystem::path&)>;
  struct Ports {
    Stage& stage;
    MediaGraph& graph;
    BeatTimer& beat_timer;
    UiTimer& after_show_timer;
    Shell& shell;
    const Resources& resources;
    ProfileOpener open_profile;
    Trace& trace;
  };

  explicit TForm1(Ports ports);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // ---- What the platform calls, always on the user-interface thread -----------------------
  // Each of these writes what the user did as a trace line ("user WHAT", WHAT as zumbolo-sim's
  // --at names it; "close"), so that a run can be replayed from its trace.
  // Program start (app/startup.cpp): the main window, then Form2, then Form3, whose creation
  // starts the music and the beat.
  void Start(const StartupArgs& args);
  // app/commands.cpp
  void Execute(ActionId action);
  void MenuItemClick(Item item);
  bool KeyPressed(int shortcut);  // true when an action had this shortcut
  void FormClick();               // a click on the window or a figure
  // app/tray.cpp
  void TrayCallback(int mouse_message);
  void TaskbarCreated();
  // app/shutdown.cpp: any request to close the main window; closing is never refused.
  void FormCloseQuery();
  bool Closed() const { return closed_; }
  // What the platform senses of the desktop. engine/full_screen.cpp: a full-screen window became
  // the active window on the figures' screen, or it no longer is one (reported on changes; a
  // report of the state as it was is ignored).
  void FullScreenChanged(bool active);
  // engine/screen_place.cpp: screens came, went or changed their work areas.
  void ScreensChanged();
  // The beat clock is the platform's BeatSink; the player's events arrive through MediaEvents.
  BeatSink& beat_sink() { return MMTimer1; }
  MediaEvents& media_events() { return *this; }

  // ---- Start-up (app/startup.cpp) -----------------------------------------------------------
  // What a replay of this run needs to start as it did (app/run_record.cpp): the seed, the
  // command line, the work area, the date pattern, the settings file and the track files found.
  void RecordRun(const StartupArgs& args);
  void FormCreate(const StartupArgs& args);
  void ReadSettings(ProfileStore& ini, const WorkArea& work_area);
  void WriteMissingTracks(const StartupArgs& args);
  void Form2Create();
  void Form3Create();

  // ---- Commands (app/commands.cpp) ----------------------------------------------------------
  // An action, or a menu item's click, on behalf of another command (no "user" line).
  void RunAction(ActionId action);
  void ClickMenuItem(Item item);
  void astartExecute();
  void StartBeat();  // the start branch of astart
  void StopBeat();
  void RestartBeat();
  void RandomPick();
  void SetSongMode(Item song);  // asetwil, asetheaven, asetheaven2, asetrad, aradecky
  void asetbgmExecute();
  void asetranExecute();
  void SetSoundChoice(Item sound);  // N10Click, N12Click, N13Click
  void SetHitOdds(Item item, int odds);  // N50011Click ... N511Click
  void acharExecute();
  void avictoryExecute();
  void Exit1Click();
  // The options (app/options.cpp).
  void ifullscreenClick();
  void SetVolumeChoice(Item item);  // ivolume100 ... ivolume0
  int VolumePercent() const;        // of the checked volume item
  void iautostartClick();
  void ShowStartAtLogin();  // the check of iautostart as the session has it now
  // The resting position moved with the arrow keys (engine/home_moves.cpp).
  void aupExecute() { MoveHome(0, -10); }
  void adownExecute() { MoveHome(0, 10); }
  void aleftExecute() { MoveHome(-10, 0); }
  void arightExecute() { MoveHome(10, 0); }
  void MoveHome(int dx, int dy);

  // ---- Stepping aside for full-screen windows (engine/full_screen.cpp) -------------------
  void StepAside();
  void ComeBack(bool by_user);

  // ---- The resting place on the screens (engine/screen_place.cpp) -------------------------
  bool HomeOnSomeScreen();  // the window at rest shows on some screen's work area
  // The window at rest shows nowhere: the resting place of a new start on `area`, with the
  // window and the pop-ups there.
  void BringHomeOnScreen(const WorkArea& area);

  // ---- Shutdown (app/shutdown.cpp) ----------------------------------------------------------
  void SaveSettings();
  std::string TallyMessage() const;

  // ---- The beat (engine/spin_cycle.cpp, engine/hit_draw.cpp, engine/script_steps.cpp) -------
  void RunBeat(const Routine& routine);
  void ResetToIdle();
  void ShowSpinBeat(int beat);
  void ShowSpinResult(int kind);
  bool IsHit();
  void RunStep(const Step& step);
  int LeftOf(X x) const;
  int TopOf(Y y) const;
  void Timer1Timer();
  // What the scripts ask for besides poses and moves.
  void SetInterval(int ms) { MMTimer1.SetInterval(static_cast<std::uint32_t>(ms)); }
  void ShowCelebration();  // Form2, then the main window to the front
  void Foreground();
  void InstallRoutine(Item mode);

  // ---- Sound (sound/sound_cues.cpp, sound/dance_requests.cpp, sound/player_events.cpp) -----
  void SendDance(int code);  // WM_DANCE from this thread: carried out before it returns
  void WMDance(int code);
  void RewindCue();
  void ReplayCue();
  void LoadTrack(std::string_view file);
  void RewindLoop();
  void ResumeLoop();
  void LoadStartTrack();
  bool TrackWritten(std::string_view file) const { return !UnwrittenTracks.contains(std::string(file)); }
  void ReloadStartTrack();  // the busy-guarded load of the stop and restart commands
  void FollowStartTrack();  // loads the other start track when the mode has changed since
  void EndShow();  // code 110 in a show: the clock off, the balloon, the restart in 3 s
  void EndShowWithoutSong();  // a show whose song cannot be loaded or started ends at once
  void mgraphGraphComplete();
  void mgraphGraphPaused();

  // ---- Errors -------------------------------------------------------------------------------
  // An error that leaves a handler is shown in the application's error box; the program goes on.
  void ShowException(const std::exception& error);
  // A file or folder of the program that cannot be kept, told in the error box.
  void TellUser(const std::string& text);
  template <typename Handler>
  void Guarded(Handler&& handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      ShowException(error);
    }
  }

  bool Checked(Item item) const { return PopupMenu1.Checked(item); }
  bool BackgroundMusic() const { return Checked(Item::N12) || Checked(Item::ibgm); }

  // ---- Components -----------------------------------------------------------------------------
  Trace& trace;
  Stage& stage;
  Shell& shell;
  const Resources& resources;
  ProfileOpener open_profile;
  TActionList ActionList1;
  TPopupMenu PopupMenu1;
  SpriteSet sprites;
  Figures figures;
  WindowPlace window;
  TMMTimer MMTimer1;
  TTimer Timer1;
  TMGraph mgraph;
  TForm2 Form2;
  TForm3 Form3;

  // ---- Program-wide state ---------------------------------------------------------------------
  Random random;
  Dance dance;
  Positions pos;
  int TempoFast = 353;
  int TempoNormal = 405;
  int TempoSlow = 451;
  int TempoSlowest = 577;
  int HitOdds = 100;
  int CharColor = 1;
  bool MiniMode = false;
  bool MediaBusy = false;
  // A show's song: none, loaded and not yet started, or started; no other track loaded since.
  enum class ShowSong { kNone, kLoaded, kStarted };
  ShowSong Song = ShowSong::kNone;
  bool KeepPickedMode = false;
  bool StoppedByUser = false;
  // Full-screen windows: the platform's last report; the windows stepped aside for one; the
  // beat to start again when they come back; a start by the user that holds until the next
  // change of the report.
  bool FullScreenActive = false;
  bool SteppedAside = false;
  bool ResumeAfterFullScreen = false;
  bool FullScreenOverridden = false;
  std::filesystem::path ExeDir;   // where the track files are
  std::filesystem::path IniPath;  // zumbolo.ini
  // zumbolo.ini was there at start-up but could not be read: it is never written, so that the
  // settings and the tally in it are not lost.
  bool SettingsUnreadable = false;
  // The user has been told at start-up that the settings cannot be kept: a failed save at the
  // close is not told again.
  bool SettingsProblemTold = false;
  // Track files that could not be written at start-up (the user has been told): never loaded.
  std::set<std::string> UnwrittenTracks;

 private:
  // MediaEvents
  void GraphComplete() override;
  void GraphPaused() override;

  bool closed_ = false;
  bool start_track_loops_ = false;  // the start track last loaded was the background music
};

}  // namespace zumbolo
