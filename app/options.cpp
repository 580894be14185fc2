// The options: stepping aside for full-screen windows, the volume, and the start at login.

#include "app/tform1.h"
#include "sound/volume_levels.h"

namespace zumbolo {

void TForm1::ifullscreenClick() {
  const bool on = !Checked(Item::ifullscreen);
  PopupMenu1.SetChecked(Item::ifullscreen, on);
  if (!on && SteppedAside) {
    ComeBack(false);
  } else if (on && FullScreenActive && !FullScreenOverridden && !SteppedAside) {
    StepAside();
  }
}

void TForm1::SetVolumeChoice(Item item) {
  PopupMenu1.SetChecked(item, true);
  // At once, for the track that plays now too; the beat goes on undisturbed.
  mgraph.SetVolume(VolumeLevel(VolumePercent()));
}

int TForm1::VolumePercent() const {
  for (const VolumeItem& choice : kVolumeItems) {
    if (Checked(choice.item)) return choice.percent;
  }
  return 100;
}

void TForm1::iautostartClick() {
  // The check showed what the session did when the menu opened: the click asks for the other.
  const std::string failure = shell.SetStartAtLogin(!Checked(Item::iautostart));
  ShowStartAtLogin();
  if (!failure.empty()) {
    trace("error", failure);
    shell.ShowError(failure);
  }
}

void TForm1::ShowStartAtLogin() { PopupMenu1.SetChecked(Item::iautostart, shell.StartsAtLogin()); }

}  // namespace zumbolo
