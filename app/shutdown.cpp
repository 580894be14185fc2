// Closing the main window: timers and music stop, the settings and today's hits are saved, the
// figures and the tray icon are released, and the hits of the run and of the day are shown.

#include "app/date_key.h"
#include "app/problem_texts.h"
#include "app/tform1.h"

namespace zumbolo {

void TForm1::FormCloseQuery() {
  if (closed_) return;
  closed_ = true;
  trace("close");

  Timer1.SetEnabled(false);
  MMTimer1.SetEnabled(false);
  if (mgraph.Active()) {
    Guarded([this] {
      mgraph.Stop();
      mgraph.EmptyGraph();
    });
  }
  mgraph.SetActive(false);

  SaveSettings();

  sprites.Free();
  shell.RemoveTrayIcon();

  const std::string message = TallyMessage();
  std::string logged;
  for (char c : message) {
    if (c == '\r') continue;
    if (c == '\n') {
      logged += "\\n";
    } else {
      logged += c;
    }
  }
  trace("message", logged);
  shell.ShowMessage("Zumbolo!", message, pos.HomeLeft - 180, pos.HomeTop - 50);
}

void TForm1::SaveSettings() {
  // What could not be read is not written over.
  if (SettingsUnreadable) return;
  std::unique_ptr<ProfileStore> ini = open_profile(IniPath);
  if (!ini) return;
  // A read-only file is the user's to keep as it is; one that cannot be read (now) keeps what it
  // holds.
  if (ini->Access() == ProfileAccess::kReadOnly || ini->Access() == ProfileAccess::kUnreadable) return;
  ini->Write("num", "ritu", std::to_string(HitOdds));
  ini->Write("form", "left", std::to_string(pos.HomeLeft));
  ini->Write("form", "top", std::to_string(pos.HomeTop));
  ini->Write("date", FormatShortDate(shell.Today(), shell.ShortDatePattern()),
             std::to_string(dance.TodayHits));
  const int koka = Checked(Item::N10) ? 0 : Checked(Item::N12) ? 1 : 2;
  ini->Write("sound", "koka", std::to_string(koka));
  for (std::size_t i = 0; i < kModeItems.size(); ++i) {
    if (Checked(kModeItems[i])) {
      ini->Write("mode", "mode", std::to_string(i));
      break;
    }
  }
  ini->Write("mode", "random", Checked(Item::iran) ? "1" : "0");
  ini->Write("color", "redchar", std::to_string(CharColor));
  ini->Write("option", "fullscreen", Checked(Item::ifullscreen) ? "1" : "0");
  ini->Write("option", "volume", std::to_string(VolumePercent()));
  // The day's hits would be lost without a word: say so, unless start-up already did.
  if (const std::error_code error = ini->Flush(); error && !SettingsProblemTold) {
    TellUser(SettingsNotSavedText(IniPath, error));
  }
}

std::string TForm1::TallyMessage() const {
  return "今回の当たりは" + std::to_string(dance.RunHits) + "回\r\n今日の当たりは" +
         std::to_string(dance.TodayHits) + "回でした";
}

}  // namespace zumbolo
