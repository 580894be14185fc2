// The figure window's shape from its three pictures must be exactly the region Qt's own region
// arithmetic makes of them, in the same rectangles (a region compares equal only to one with
// the same bands), whatever the pictures: touching at the boxes' edges, empty, or full.

#include <gtest/gtest.h>

#include <QRect>
#include <QRegion>
#include <random>

#include "platform/qt/figure_shape.h"

namespace zumbolo {
namespace {

QRegion RandomShape(std::mt19937& random, int size) {
  std::uniform_int_distribution<int> count(0, 12);
  std::uniform_int_distribution<int> place(0, size - 1);
  QRegion region;
  for (int n = count(random); n > 0; --n) {
    const int left = place(random), top = place(random);
    std::uniform_int_distribution<int> width(1, size - left), height(1, size - top);
    region += QRect(left, top, width(random), height(random));
  }
  return region;
}

QRegion Union(const std::array<QRegion, 3>& boxes, int size) {
  QRegion all;
  for (int i = 0; i < 3; ++i) all += boxes[i].translated(i * size, 0);
  return all;
}

QRegion Composed(const std::array<QRegion, 3>& boxes, int size) {
  const std::array<RowShape, 3> rows{RowsOf(boxes[0], size), RowsOf(boxes[1], size),
                                     RowsOf(boxes[2], size)};
  RowShape window;
  SideBySide({&rows[0], &rows[1], &rows[2]}, size, window);
  return RegionOf(window);
}

TEST(FigureShape, ThreeShapesSideBySideAreTheirUnion) {
  std::mt19937 random(20261208);
  for (const int size : {64, 32, 7}) {
    for (int round = 0; round < 300; ++round) {
      const std::array<QRegion, 3> boxes{RandomShape(random, size), RandomShape(random, size),
                                         RandomShape(random, size)};
      const QRegion expected = Union(boxes, size);
      const QRegion composed = Composed(boxes, size);
      ASSERT_EQ(composed, expected) << "size " << size << ", round " << round;
      ASSERT_EQ(composed.rectCount(), expected.rectCount());
    }
  }
}

TEST(FigureShape, RunsMeetingAtABoxEdgeBecomeOne) {
  const int size = 64;
  // A bar across the right edge of the first box and the left edge of the second, and the
  // second box full: one band of one rectangle where they meet.
  const std::array<QRegion, 3> boxes{QRegion(40, 10, 24, 5), QRegion(0, 0, size, size), QRegion()};
  const QRegion composed = Composed(boxes, size);
  EXPECT_EQ(composed, Union(boxes, size));
  EXPECT_TRUE(composed.contains(QRect(40, 10, 24 + size, 5)));

  const std::array<QRegion, 3> full{QRegion(0, 0, size, size), QRegion(0, 0, size, size),
                                    QRegion(0, 0, size, size)};
  const QRegion window = Composed(full, size);
  EXPECT_EQ(window.rectCount(), 1);
  EXPECT_EQ(window.boundingRect(), QRect(0, 0, 3 * size, size));
}

TEST(FigureShape, NothingOpaqueIsAnEmptyRegion) {
  const std::array<QRegion, 3> none{};
  EXPECT_TRUE(Composed(none, 64).isEmpty());
  // Parts of a region below the box's height are not the box's.
  EXPECT_EQ(RegionOf(RowsOf(QRegion(0, 60, 4, 10), 64)), QRegion(0, 60, 4, 4));
}

}  // namespace
}  // namespace zumbolo
