#include "platform/win32/picture_window.h"

#include "platform/win32/dib.h"

namespace zumbolo::win32 {

namespace {

COLORREF ToColorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return paint_.hdc; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
};

}  // namespace

PictureWindow::PictureWindow(const Look& look, HWND owner) : key_(look.key), boxes_(look.boxes) {
  Create({.class_name = look.class_name,
          .title = look.title,
          .style = WS_POPUP,
          .ex_style = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
          .owner = owner,
          .class_style = look.class_style});
  SetLayeredWindowAttributes(hwnd(), ToColorRef(key_), 0, LWA_COLORKEY);
  for (Box& box : boxes_) box.given = Bitmap::Filled(1, 1, key_);
  SetBoxSize(64, 64);
}

void PictureWindow::SetBoxSize(int width, int height) {
  if (width < 1 || height < 1 || (width == width_ && height == height_)) return;
  width_ = width;
  height_ = height;
  for (Box& box : boxes_) Fit(box);
  SetWindowPos(hwnd(), nullptr, 0, 0, width_ * static_cast<int>(boxes_.size()), height_,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void PictureWindow::ShowPicture(int index, const Bitmap& picture) {
  if (index < 0 || index >= static_cast<int>(boxes_.size()) || picture.empty()) return;
  Box& box = boxes_[index];
  if (picture == box.given) return;
  box.given = picture;
  Fit(box);
  const RECT area{index * width_, 0, (index + 1) * width_, height_};
  InvalidateRect(hwnd(), &area, FALSE);
}

void PictureWindow::Fit(Box& box) { box.dib = ToDib(ScaledNearest(box.given, width_, height_)); }

void PictureWindow::MoveTo(int left, int top) {
  SetWindowPos(hwnd(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PictureWindow::QueueMove(int left, int top) {
  SetWindowPos(hwnd(), nullptr, left, top, 0, 0, SWP_ASYNCWINDOWPOS | SWP_NOZORDER | SWP_NOSIZE);
}

void PictureWindow::SetShown(bool shown) { ShowWindow(hwnd(), shown ? SW_SHOWNOACTIVATE : SW_HIDE); }

LRESULT PictureWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: return OnPaint();
    case WM_ERASEBKGND: return 1;  // every pixel is painted from the boxes
    default: return Window::HandleMessage(message, wparam, lparam);
  }
}

LRESULT PictureWindow::OnPaint() {
  const PaintScope paint(hwnd());
  const UniqueMemoryDc source(CreateCompatibleDC(paint.dc()));
  if (!source) return 0;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (!boxes_[i].dib) continue;
    const Selection selected(source.get(), boxes_[i].dib.get());
    BitBlt(paint.dc(), static_cast<int>(i) * width_, 0, width_, height_, source.get(), 0, 0, SRCCOPY);
  }
  return 0;
}

}  // namespace zumbolo::win32
