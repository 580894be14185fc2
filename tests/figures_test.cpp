// The figures draw the sprite set's pictures; the sparkle drawn over them must change only what
// the figures show, never the poses the next spin draws from.

#include <gtest/gtest.h>

#include "engine/figures.h"
#include "engine/sprite_set.h"
#include "platform/common/embedded_resources.h"
#include "ports/trace.h"
#include "tools/sim/sim_ports.h"

namespace zumbolo {
namespace {

TEST(Figures, TheSparkleLeavesThePosesAsTheyWere) {
  SpriteSet sprites;
  sprites.LoadImageLists(EmbeddedResources());
  sprites.Create();
  sprites.LoadPoseSet(1);
  ASSERT_TRUE(sprites.transparent_overlay());
  const Bitmap pose = *sprites.PoseBitmap(4);
  const Bitmap clean_copy = Bitmap::Filled(pose.width, pose.height, kWhite);
  ASSERT_NE(pose, clean_copy);  // a real picture, not the blank

  sim::SimStage stage;
  Trace trace;
  Figures figures(stage, trace, sprites);
  figures.ShowPose(4);
  figures.ShowOverlay();

  // The sparkle is on screen over the pose...
  Bitmap expected = pose;
  expected.DrawTransparent(sprites.Overlay(), sprites.OverlayKey());
  ASSERT_NE(expected, pose);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(stage.figures[i], expected) << "figure " << i;
    EXPECT_EQ(figures.Showing(i), expected) << "figure " << i;
  }
  // ...and the pose itself is clean, for this figure and the next spin.
  EXPECT_EQ(*sprites.PoseBitmap(4), pose);
  figures.DrawFigure(2, 4);
  EXPECT_EQ(stage.figures[1], pose);
  EXPECT_EQ(stage.figures[0], expected);
}

}  // namespace
}  // namespace zumbolo
