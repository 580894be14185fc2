// Program start: the main window's creation handler reads the command line and zumbolo.ini,
// places the window, builds the figures, writes the track files, installs the show mode's
// routine and loads the start track; then the two pop-up windows are created, and the creation
// of the second one starts the music and the beat.

#include <system_error>

#include "app/date_key.h"
#include "app/ini_file.h"
#include "app/problem_texts.h"
#include "app/tform1.h"
#include "routines/routines.h"
#include "sound/track_files.h"
#include "sound/volume_levels.h"

namespace zumbolo {

void TForm1::Start(const StartupArgs& args) {
  RecordRun(args);
  FormCreate(args);
  Form2Create();
  Form3Create();
}

void TForm1::FormCreate(const StartupArgs& args) {
  // The image lists belong to the window description and exist before its creation handler.
  sprites.LoadImageLists(resources);

  // "/m" first: mini mode. "/v" as one of the first three: every spin a hit.
  const std::vector<std::string>& arg = args.args;
  MiniMode = !arg.empty() && arg[0] == "/m";
  for (std::size_t i = 0; i < arg.size() && i < 3; ++i) {
    if (arg[i] == "/v") {
      ActionList1.SetChecked(ActionId::avictory, true);
      break;
    }
  }

  const WorkArea work_area = shell.GetWorkArea();
  pos.HomeLeft = work_area.left + work_area.width - 250;
  pos.HomeTop = work_area.top + work_area.height - 118;
  window.SetLeft(pos.HomeLeft);
  window.SetTop(pos.HomeTop);

  stage.SetFigureSize(MiniMode ? 32 : kFigurePixels);
  pos.RecomputeHorizontal(MiniMode);
  pos.RecomputeVertical(MiniMode);

  TempoFast = 353;
  TempoNormal = 405;
  TempoSlow = 451;
  TempoSlowest = 577;
  random.Seed(args.random_seed);
  HitOdds = 100;
  CharColor = 1;
  dance = Dance{};
  dance.LeadInDone = false;
  dance.RepeatPending = true;
  MediaBusy = false;

  ExeDir = args.exe_dir;
  const std::filesystem::path settings_dir = args.settings_dir.empty() ? ExeDir : args.settings_dir;
  IniPath = settings_dir / "zumbolo.ini";
  // A folder that could not be made is told once, for all it was to hold.
  const bool one_folder = settings_dir == ExeDir;
  if (args.settings_dir_error) {
    TellUser(FolderNotMadeText(settings_dir, args.settings_dir_error, true, one_folder && args.exe_dir_error));
    SettingsProblemTold = true;
  }
  if (args.exe_dir_error && !(one_folder && args.settings_dir_error)) {
    TellUser(FolderNotMadeText(ExeDir, args.exe_dir_error, false, true));
  }
  if (auto ini = open_profile(IniPath)) {
    switch (ini->Access()) {
      case ProfileAccess::kNoFile:
        break;
      case ProfileAccess::kUnreadable:
        // Read as if there were none, and never written: what it holds stays as it is.
        SettingsUnreadable = SettingsProblemTold = true;
        TellUser(SettingsUnreadableText(IniPath, ini->ReadError()));
        break;
      case ProfileAccess::kReadWrite:
      case ProfileAccess::kReadOnly:
        ReadSettings(*ini, work_area);
        break;
    }
  }
  // A stored place that no screen shows any more would leave the figures out of reach.
  if (!HomeOnSomeScreen()) BringHomeOnScreen(work_area);

  sprites.Create();
  sprites.LoadPoseSet(CharColor);
  figures.ShowPose(1);

  WriteMissingTracks(args);

  if (Checked(Item::ibgm)) PopupMenu1.SetVisible(Item::N9, false);
  for (Item mode : kModeItems) {
    if (Checked(mode)) {
      InstallRoutine(mode);
      break;
    }
  }
  PopupMenu1.SetCaption(Item::istart, "停止");
  mgraph.SetActive(true);
  // A new graph plays at full volume.
  if (VolumeLevel(VolumePercent()) != mgraph.Volume()) mgraph.SetVolume(VolumeLevel(VolumePercent()));
  Guarded([this] { LoadStartTrack(); });
  shell.AddTrayIcon();
}

void TForm1::ReadSettings(ProfileStore& ini, const WorkArea& work_area) {
  const auto read = [&ini](std::string_view section, std::string_view key, int fallback) {
    const auto text = ini.Read(section, key);
    const auto value = text ? ParseDecimalInt32(*text) : std::nullopt;
    return value ? *value : fallback;
  };

  // The hit draw divides by the odds: a value below 1 falls back to the default.
  HitOdds = read("num", "ritu", 100);
  if (HitOdds < 1) HitOdds = 100;
  dance.TodayHits = read("date", FormatShortDate(shell.Today(), shell.ShortDatePattern()), 0);
  // A number that names no item leaves the menu as it is.
  const int koka = read("sound", "koka", 0);
  if (koka >= 0 && koka < static_cast<int>(kSoundItems.size())) PopupMenu1.SetChecked(kSoundItems[koka], true);
  const int mode = read("mode", "mode", 2);
  if (mode >= 0 && mode < static_cast<int>(kModeItems.size())) PopupMenu1.SetChecked(kModeItems[mode], true);
  if (read("mode", "random", 0) == 1) {
    RandomPick();
    PopupMenu1.SetChecked(Item::iran, true);
    PopupMenu1.SetVisible(Item::N9, true);
  }
  // A colour set that does not exist would leave the figures invisible: use the default one.
  CharColor = read("color", "redchar", 1);
  if (CharColor < 0 || CharColor > 2) CharColor = 1;
  MMTimer1.SetInterval(static_cast<std::uint32_t>(TempoNormal));

  // A negative coordinate, or one beyond any screen, keeps the home from the work area.
  int left = read("form", "left", -1);
  if (left >= 0 && IsWithinPositionLimit(left)) {
    if (MiniMode && left > work_area.left + work_area.width - 200) left = work_area.left + work_area.width - 250;
    pos.HomeLeft = left;
    window.SetLeft(left);
    pos.RecomputeHorizontal(MiniMode);
  }
  int top = read("form", "top", -1);
  if (top >= 0 && IsWithinPositionLimit(top)) {
    const int height = MiniMode ? 32 : kFigurePixels;
    if (MiniMode && top > work_area.top + work_area.height - height) top = work_area.top + work_area.height - height - 20;
    pos.HomeTop = top;
    window.SetTop(top);
    pos.RecomputeVertical(MiniMode);
  }

  for (const OddsItem& choice : kOddsItems) {
    if (choice.odds == HitOdds) {
      PopupMenu1.SetChecked(choice.item, true);
      break;
    }
  }

  // The options. A missing key, or a value that is no choice of the menu, leaves the menu's
  // default, as a file from before the options does.
  const int fullscreen = read("option", "fullscreen", -1);
  if (fullscreen == 0 || fullscreen == 1) PopupMenu1.SetChecked(Item::ifullscreen, fullscreen == 1);
  const int volume = read("option", "volume", -1);
  for (const VolumeItem& choice : kVolumeItems) {
    if (choice.percent == volume) {
      PopupMenu1.SetChecked(choice.item, true);
      break;
    }
  }
}

void TForm1::WriteMissingTracks(const StartupArgs& args) {
  std::optional<TrackWriteFailure> failure;
  if (!args.exe_dir_error) {
    failure = WriteTrackFiles(ExeDir, resources);
    if (!failure) return;
    TellUser(TrackNotWrittenText(failure->file, ExeDir, failure->error));
  }
  // The writing stopped at a track: those not there now are left out of every load.
  for (const TrackFile& track : kTrackFiles) {
    std::error_code error;
    if (!std::filesystem::exists(ExeDir / std::string(track.file), error)) UnwrittenTracks.emplace(track.file);
  }
}

void TForm1::Form2Create() { Form2.FormCreate(resources, pos, MiniMode); }

void TForm1::Form3Create() {
  Form3.FormCreate(resources, pos, MiniMode);
  if (BackgroundMusic()) SendDance(dcResumePlay);
  SendDance(dcStartClock);
}

void TForm1::InstallRoutine(Item mode) { MMTimer1.SetOnTimer(&RoutineFor(mode)); }

}  // namespace zumbolo
