// The commands: start and stop, the show mode, random mode, the hit chance, the sound choice, the
// colour of the figures, forced hits and exit; and the shared stop, restart and random pick.

#include "app/tform1.h"
#include "routines/routines.h"

namespace zumbolo {

void TForm1::Execute(ActionId action) {
  trace("user", ActionList1[action].name);
  RunAction(action);
}

void TForm1::RunAction(ActionId action) {
  Guarded([this, action] {
    switch (action) {
      case ActionId::aup: aupExecute(); break;
      case ActionId::adown: adownExecute(); break;
      case ActionId::aleft: aleftExecute(); break;
      case ActionId::aright: arightExecute(); break;
      case ActionId::achar: acharExecute(); break;
      case ActionId::astart: astartExecute(); break;
      case ActionId::asetwil: SetSongMode(Item::iwill); break;
      case ActionId::asetheaven: SetSongMode(Item::iheaven); break;
      case ActionId::avictory: avictoryExecute(); break;
      case ActionId::asetrad: SetSongMode(Item::irad); break;
      case ActionId::asetbgm: asetbgmExecute(); break;
      case ActionId::aradecky: SetSongMode(Item::irad2); break;
      case ActionId::asetran: asetranExecute(); break;
      case ActionId::asetheaven2: SetSongMode(Item::iheaven2); break;
    }
  });
}

void TForm1::MenuItemClick(Item item) {
  trace("user", PopupMenu1[item].name);
  ClickMenuItem(item);
}

void TForm1::ClickMenuItem(Item item) {
  const MenuItem& entry = PopupMenu1[item];
  if (entry.action) return RunAction(*entry.action);
  Guarded([this, item] {
    for (const OddsItem& choice : kOddsItems) {
      if (choice.item == item) return SetHitOdds(item, choice.odds);
    }
    for (const VolumeItem& choice : kVolumeItems) {
      if (choice.item == item) return SetVolumeChoice(item);
    }
    switch (item) {
      case Item::N10:
      case Item::N12:
      case Item::N13: SetSoundChoice(item); break;
      case Item::ifullscreen: ifullscreenClick(); break;
      case Item::iautostart: iautostartClick(); break;
      case Item::Exit1: Exit1Click(); break;
      default: break;  // separators and submenus
    }
  });
}

bool TForm1::KeyPressed(int shortcut) {
  const auto action = ActionList1.ForShortCut(shortcut);
  if (!action) return false;
  trace("user", "key:" + std::to_string(shortcut));
  RunAction(*action);
  return true;
}

void TForm1::FormClick() {
  trace("user", "click");
  ClickMenuItem(Item::istart);
}

void TForm1::astartExecute() {
  if (Form2.Visible()) Form2.Hide();
  if (Form3.Visible()) Form3.Hide();
  if (MMTimer1.Enabled()) return StopBeat();
  StartBeat();
  // A start by the user wins over a full-screen window.
  if (SteppedAside) ComeBack(true);
}

void TForm1::StartBeat() {
  PopupMenu1.SetCaption(Item::istart, "停止");
  ResetToIdle();
  dance.OddThird = false;
  StoppedByUser = false;
  if (BackgroundMusic()) mgraph.Play();
  SetInterval(TempoNormal);
  MMTimer1.SetEnabled(true);
}

void TForm1::StopBeat() {
  MMTimer1.SetEnabled(false);
  StoppedByUser = true;
  // There is no load to wait for: every load runs to its end, a failed one included, before it
  // returns to the event loop, so no command can come while one is under way.
  if (mgraph.State() == psPlaying) mgraph.Stop();
  mgraph.EmptyGraph();
  ReloadStartTrack();
  if (Checked(Item::iran)) {
    if (KeepPickedMode) {
      KeepPickedMode = false;
    } else {
      RandomPick();
    }
  }
  FollowStartTrack();
  PopupMenu1.SetCaption(Item::istart, "開始");
  SetInterval(TempoNormal);
}

void TForm1::RestartBeat() {
  MMTimer1.SetEnabled(false);
  if (mgraph.Stop()) mgraph.EmptyGraph();
  ReloadStartTrack();
  if (Checked(Item::iran)) {
    if (KeepPickedMode) {
      KeepPickedMode = false;
    } else {
      RandomPick();
    }
  }
  FollowStartTrack();
  if (Form2.Visible()) Form2.Hide();
  if (Form3.Visible()) Form3.Hide();
  PopupMenu1.SetCaption(Item::istart, "停止");
  ResetToIdle();
  dance.OddThird = false;
  if (BackgroundMusic()) mgraph.Play();
  SetInterval(TempoNormal);
  MMTimer1.SetEnabled(true);
  // Only a command of the user restarts the beat while the windows stand aside.
  if (SteppedAside) ComeBack(true);
}

void TForm1::RandomPick() {
  constexpr int kSongs = 5;  // the first five mode items; BGM mode is never picked
  int current = 0;
  for (int i = 0; i < kSongs; ++i) {
    if (Checked(kModeItems[i])) {
      current = i;
      break;
    }
  }
  int pick = random.Below(kSongs);
  if (pick == current) {
    pick = random.Below(kSongs);
    if (pick == current) pick = random.Below(kSongs);
  }
  PopupMenu1.SetChecked(kModeItems[pick], true);
  PopupMenu1.SetVisible(Item::N9, true);
  InstallRoutine(kModeItems[pick]);
}

void TForm1::SetSongMode(Item song) {
  if (Checked(song)) return;
  PopupMenu1.SetChecked(song, true);
  PopupMenu1.SetVisible(Item::N9, true);
  InstallRoutine(song);
  if (StoppedByUser) {
    StoppedByUser = false;
    FollowStartTrack();
    return astartExecute();
  }
  // The restart must keep the song that was just chosen by hand.
  if (Checked(Item::iran)) KeepPickedMode = true;
  RestartBeat();
}

void TForm1::asetbgmExecute() {
  if (Checked(Item::ibgm)) return;
  PopupMenu1.SetChecked(Item::ibgm, true);
  PopupMenu1.SetVisible(Item::N9, false);
  PopupMenu1.SetChecked(Item::iran, false);
  InstallRoutine(Item::ibgm);
  if (StoppedByUser) {
    StoppedByUser = false;
    FollowStartTrack();
    return astartExecute();
  }
  RestartBeat();
}

void TForm1::asetranExecute() {
  PopupMenu1.SetChecked(Item::iran, !Checked(Item::iran));
  if (!Checked(Item::iran)) return;
  PopupMenu1.SetVisible(Item::N9, true);
  RestartBeat();
}

void TForm1::SetSoundChoice(Item sound) {
  if (Checked(sound)) return;
  PopupMenu1.SetChecked(sound, true);
  RestartBeat();
}

void TForm1::SetHitOdds(Item item, int odds) {
  PopupMenu1.SetChecked(item, true);
  HitOdds = odds;
}

void TForm1::acharExecute() {
  CharColor = CharColor + 1 > 2 ? 0 : CharColor + 1;
  sprites.LoadPoseSet(CharColor);
  if (StoppedByUser) {
    StoppedByUser = false;
    return astartExecute();
  }
  RestartBeat();
}

void TForm1::avictoryExecute() {
  ActionList1.SetChecked(ActionId::avictory, !ActionList1.Checked(ActionId::avictory));
}

void TForm1::Exit1Click() {
  FormCloseQuery();
  shell.Quit();
}

}  // namespace zumbolo
