#pragma once
// What the five song shows share besides their tables: the sound requests of the lead-in, the
// celebration at the start of the show, and the small conditions and actions that several songs'
// tables name alike.

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
inline void SetFirstPass(TForm1& f) { f.dance.FirstPass = true; }

// Sub-step 6: the lead-in slows to half the song's tempo.
inline void HalfTimeOfTempoNormal(TForm1& f) { f.SetInterval(2 * f.TempoNormal); }
inline void HalfTimeOfTempoFast(TForm1& f) { f.SetInterval(2 * f.TempoFast); }

// Both Heaven and Hell routines dance to bgm.res and start their show at TempoFast.
inline void LoadHeavenTrack(TForm1& f) { f.SendDance(dcLoadHeavenTrack); }
inline void EnterShowAtFastTempo(TForm1& f) {
  EnterShow(f);
  f.SetInterval(f.TempoFast);
}

// Conditions.
inline bool EffectsOn(const TForm1& f) { return f.Checked(Item::N10); }
inline bool EffectsOff(const TForm1& f) { return !f.Checked(Item::N10); }
inline bool RepeatPending(const TForm1& f) { return f.dance.RepeatPending; }
inline bool NoRepeatPending(const TForm1& f) { return !f.dance.RepeatPending; }
inline bool RepeatCount3(const TForm1& f) { return f.dance.RepeatCount == 3; }

}  // namespace zumbolo::song
