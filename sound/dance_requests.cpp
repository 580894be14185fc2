// WM_DANCE: the requests by which the beat routines and the pop-ups ask for sound and for the
// clock; the single place that acts on the player during a show.

#include "app/tform1.h"

namespace zumbolo {

namespace {

// The codes that load the song of a show.
bool LoadsASong(int code) {
  return code == dcLoadHeavenTrack || code == dcLoadTellTrack || code == dcLoadFuniculiTrack ||
         code == dcLoadRadetzkyTrack;
}

}  // namespace

void TForm1::SendDance(int code) {
  trace("dance", code);
  // The request that loads a show's song, or the code 0 that starts the song loaded.
  const bool starts_the_song = code == dcPlay && Song == ShowSong::kLoaded;
  const bool for_the_song = LoadsASong(code) || starts_the_song;
  // Every show's first sound request changes what the player holds, so a song loaded for a show
  // that a command broke off is forgotten by the next.
  if (starts_the_song || code == dcLoadHitSound || code == dcHaltMusic || LoadsASong(code)) Song = ShowSong::kNone;
  try {
    WMDance(code);
    if (LoadsASong(code)) Song = ShowSong::kLoaded;
    if (starts_the_song) Song = ShowSong::kStarted;
  } catch (const std::exception& error) {
    // An error surfaces in the handling of the request; the sender then goes on.
    ShowException(error);
    // A show waits for its song's end, which a song that could not be loaded or started never
    // reaches: such a show ends now, after the error box, as it would at the song's end.
    if (for_the_song) EndShowWithoutSong();
  }
}

void TForm1::WMDance(int code) {
  switch (code) {
    case dcPlay:
      if (mgraph.Active()) mgraph.Play();
      break;
    case dcReplayCue:
      ReplayCue();
      break;
    case dcLoadHitSound:
      LoadTrack("eye.res");
      break;
    case dcLoadHeavenTrack:
      LoadTrack("bgm.res");
      break;
    case dcLoadTellTrack:
      LoadTrack("tell.res");
      break;
    case dcResumePlay:
      mgraph.Play();
      break;
    case dcHaltMusic:
      if (mgraph.State() == psPlaying) mgraph.Stop();
      mgraph.EmptyGraph();
      break;
    case dcLoadFuniculiTrack:
      LoadTrack("fun.res");
      break;
    case dcLoadRadetzkyTrack:
      LoadTrack("rad.res");
      break;
    case dcStartClock:
      MMTimer1.SetEnabled(true);
      break;
    case dcBeatLost:
      // A beat was not taken in time: the show is broken off and the spinning starts again.
      MMTimer1.SetEnabled(false);
      // Lost just before the windows stepped aside: they stopped nothing then, so the beat is
      // stopped now, to start again when they come back.
      if (SteppedAside) {
        StopBeat();
        ResumeAfterFullScreen = true;
        break;
      }
      ResetToIdle();
      if (!Checked(Item::N12) && !Checked(Item::ibgm) && Checked(Item::N10) && mgraph.Active()) {
        mgraph.Stop();
        mgraph.EmptyGraph();
        if (TrackWritten("kokab.res")) {
          mgraph.RenderTrack(ExeDir / "kokab.res");
          RewindCue();
        }
      }
      SetInterval(TempoNormal);
      MMTimer1.SetEnabled(true);
      break;
    case dcShowEnded:
      if (dance.DanceState == dsShow) EndShow();
      // A song shorter than what is left of the lead-in (a track file the user replaced) has
      // ended before its show began, and the show would wait for it for good: it ends now.
      if (dance.DanceState == dsLeadIn && Song == ShowSong::kStarted) EndShow();
      break;
    default:
      break;
  }
}

void TForm1::EndShow() {
  MMTimer1.SetEnabled(false);
  Form2.Hide();
  mgraph.Stop();
  Form3.Show();
  ResetToIdle();
  SetInterval(TempoNormal);
  Timer1.SetEnabled(true);
}

void TForm1::EndShowWithoutSong() {
  // From the lead-in too, where the song is loaded and started. A show that a command has broken
  // off meanwhile (while the error box was up) is over already.
  if (dance.DanceState == dsLeadIn || dance.DanceState == dsShow) EndShow();
}

void TForm1::mgraphGraphComplete() {
  if (Checked(Item::ibgm)) return ResumeLoop();
  if (Checked(Item::N12) && dance.DanceState < dsLeadIn) return ResumeLoop();
  SendDance(dcShowEnded);
}

void TForm1::mgraphGraphPaused() {
  if (Checked(Item::N12) && dance.DanceState < dsLeadIn) RewindLoop();
  if (Checked(Item::ibgm)) RewindLoop();
}

}  // namespace zumbolo
