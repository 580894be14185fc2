#include "platform/qt/figure_shape.h"

#include <QRect>
#include <algorithm>

namespace zumbolo {

RowShape RowsOf(const QRegion& region, int height) {
  std::vector<std::vector<OpaqueRun>> rows(static_cast<std::size_t>(std::max(height, 0)));
  // A region's rectangles come in bands from the top, and left to right within a band, so each
  // row receives its runs in order.
  for (const QRect& rect : region) {
    const int top = std::max(rect.top(), 0);
    const int bottom = std::min(rect.bottom() + 1, height);
    for (int y = top; y < bottom; ++y) rows[y].push_back({rect.left(), rect.right() + 1});
  }
  RowShape shape;
  for (const std::vector<OpaqueRun>& row : rows) {
    shape.runs.insert(shape.runs.end(), row.begin(), row.end());
    shape.row_end.push_back(shape.runs.size());
  }
  return shape;
}

void SideBySide(const std::array<const RowShape*, 3>& boxes, int box_width, RowShape& window) {
  int height = 0;
  std::size_t runs = 0;
  for (const RowShape* box : boxes) {
    height = std::max(height, box->height());
    runs += box->runs.size();
  }
  window.runs.clear();
  window.runs.reserve(runs);
  window.row_end.clear();
  window.row_end.reserve(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const std::size_t row_start = window.runs.size();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      const RowShape& box = *boxes[i];
      if (y >= box.height()) continue;
      const int offset = static_cast<int>(i) * box_width;
      for (std::size_t r = box.RowStart(y); r < box.row_end[y]; ++r) {
        const OpaqueRun moved{box.runs[r].left + offset, box.runs[r].right + offset};
        // A run that reaches the right edge of one box and one that starts at the left edge of
        // the next are one run.
        if (window.runs.size() > row_start && window.runs.back().right == moved.left) {
          window.runs.back().right = moved.right;
        } else {
          window.runs.push_back(moved);
        }
      }
    }
    window.row_end.push_back(window.runs.size());
  }
}

QRegion RegionOf(const RowShape& rows) {
  const auto row_begin = [&](int y) {
    return rows.runs.begin() + static_cast<std::ptrdiff_t>(rows.RowStart(y));
  };
  const auto row_end = [&](int y) {
    return rows.runs.begin() + static_cast<std::ptrdiff_t>(rows.row_end[y]);
  };
  std::vector<QRect> rects;
  rects.reserve(rows.runs.size());
  int y = 0;
  while (y < rows.height()) {
    // Rows with the same runs make one band.
    int end = y + 1;
    while (end < rows.height() &&
           std::equal(row_begin(end), row_end(end), row_begin(y), row_end(y))) {
      ++end;
    }
    for (auto run = row_begin(y); run != row_end(y); ++run) {
      rects.emplace_back(run->left, y, run->right - run->left, end - y);
    }
    y = end;
  }
  QRegion region;
  if (!rects.empty()) region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

}  // namespace zumbolo
