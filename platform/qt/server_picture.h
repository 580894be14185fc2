#pragma once
// Pictures kept in the X server and shown as a window's background, with the window's shape cut
// from a bitmap kept there too. The server then draws the window by itself, after an expose as
// after a change, so the program neither paints nor wakes up for it, and a change is three small
// requests. Only where the window's visual takes the pixels of a QImage::Format_RGB32 image as
// they are (32-bit TrueColor, 8 bits per colour, the host's byte order), bitmaps are stored as
// QImage::Format_MonoLSB holds them and the server shapes windows does ServerPictures::For give
// anything; elsewhere the window paints and shapes itself as Qt widgets do.

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

namespace zumbolo {

// One picture in the server, freed with it.
class ServerPicture {
 public:
  ServerPicture() = default;
  ServerPicture(xcb_connection_t* connection, std::uint32_t pixmap) : connection_(connection), pixmap_(pixmap) {}
  ~ServerPicture();
  ServerPicture(ServerPicture&& other) noexcept;
  ServerPicture& operator=(ServerPicture&& other) noexcept;
  ServerPicture(const ServerPicture&) = delete;
  ServerPicture& operator=(const ServerPicture&) = delete;

  explicit operator bool() const { return pixmap_ != 0; }
  std::uint32_t pixmap() const { return pixmap_; }

 private:
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t pixmap_ = 0;
};

class ServerPictures {
 public:
  // For `window`'s native window, made now if need be; nothing when the window's screen cannot
  // take the pictures as they are.
  static std::unique_ptr<ServerPictures> For(QWidget& window);
  ~ServerPictures();
  ServerPictures(const ServerPictures&) = delete;
  ServerPictures& operator=(const ServerPictures&) = delete;

  // `image` (device pixels, converted to Format_RGB32 if it is not) as a picture in the server.
  ServerPicture Upload(const QImage& image);
  // The pixels of `image` that are not `key` (0x00RRGGBB) as a bitmap in the server.
  ServerPicture UploadShape(const QImage& image, std::uint32_t key);
  // Three pictures of `width` x `height`, or three bitmaps, side by side in a new one, made in
  // the server from the ones it holds.
  ServerPicture SideBySide(const std::array<const ServerPicture*, 3>& pictures, int width, int height);
  ServerPicture ShapesSideBySide(const std::array<const ServerPicture*, 3>& bitmaps, int width, int height);
  // Makes `picture` the window's background and `shape` its shape, and has the server draw the
  // window with them.
  void Show(const ServerPicture& picture, const ServerPicture& shape);
  // The window no longer hears of exposes: the server draws them from the background itself.
  void StopExposeEvents();

 private:
  ServerPictures(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth);
  ServerPicture PutImage(const QImage& image, std::uint8_t depth, std::uint32_t gc);
  ServerPicture Join(const std::array<const ServerPicture*, 3>& parts, int width, int height, std::uint8_t depth,
                     std::uint32_t gc);

  xcb_connection_t* connection_;
  std::uint32_t window_;
  std::uint8_t depth_;
  std::uint32_t gc_ = 0;         // for pictures; reports no exposures
  std::uint32_t bitmap_gc_ = 0;  // for bitmaps
};

}  // namespace zumbolo
