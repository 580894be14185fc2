#pragma once
// The figure window's shape, put together from its three pictures without region arithmetic.
// Each picture's opaque pixels are kept as runs, row by row; three pictures side by side are
// then a matter of shifting and joining runs, and the window's region is made straight from the
// rows in the banded order that regions keep, with none of a region union's work.

#include <QRegion>
#include <array>
#include <cstddef>
#include <vector>

namespace zumbolo {

struct OpaqueRun {
  int left = 0;   // first opaque pixel
  int right = 0;  // one past the last
  bool operator==(const OpaqueRun&) const = default;
};

// The opaque runs of each row, top to bottom, in one array: row y's runs are
// runs[RowStart(y)] up to runs[row_end[y]].
struct RowShape {
  std::vector<OpaqueRun> runs;
  std::vector<std::size_t> row_end;

  int height() const { return static_cast<int>(row_end.size()); }
  std::size_t RowStart(int y) const { return y == 0 ? 0 : row_end[y - 1]; }
  bool operator==(const RowShape&) const = default;
};

// The rows of `region` from 0 to height − 1.
RowShape RowsOf(const QRegion& region, int height);
// Three shapes of `box_width` pixels side by side, as one, written into `window` (whose memory
// is used again).
void SideBySide(const std::array<const RowShape*, 3>& boxes, int box_width, RowShape& window);
// The region the rows cover; empty for no opaque pixel.
QRegion RegionOf(const RowShape& rows);

}  // namespace zumbolo
