#pragma once
// What the five song shows share besides their tables: the sound requests of the lead-in and the
// celebration at the start of the show.

#include "app/tform1.h"

namespace zumbolo::song {

// Sub-step 0: with sound effects, the hit jingle is loaded.
inline void LoadHitSound(TForm1& f) {
  if (f.Checked(Item::N10)) f.SendDance(dcLoadHitSound);
}

// Sub-step 2: the jingle plays, or the background music makes way for the song.
inline void PlayHitSoundOrHaltMusic(TForm1& f) {
  if (f.Checked(Item::N10)) {
    f.SendDance(dcPlay);
  } else if (f.Checked(Item::N12)) {
    f.SendDance(dcHaltMusic);
  }
}

inline void PlaySong(TForm1& f) { f.SendDance(dcPlay); }
inline void Celebrate(TForm1& f) { f.ShowCelebration(); }
inline void Foreground(TForm1& f) { f.Foreground(); }
inline void EnterShow(TForm1& f) { f.dance.DanceState = dsShow; }
inline void LeadInDone(TForm1& f) { f.dance.LeadInDone = true; }
// Lead-in beat 10 of several songs.
inline void SetRepeatPending(TForm1& f) { f.dance.RepeatPending = true; }

}  // namespace zumbolo::song
