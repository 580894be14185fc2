#include "platform/qt/server_picture.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

#include "platform/qt/x11_connection.h"

namespace zumbolo {

namespace {

// Whether the server stores bitmaps as Format_MonoLSB images hold them: the first pixel in the
// lowest bit, rows padded to 32 bits.
bool TakesMonoLsb(const xcb_setup_t* setup) {
  bool one_bit_pixels = false;
  for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format)) {
    if (format.data->depth == 1) one_bit_pixels = format.data->bits_per_pixel == 1 && format.data->scanline_pad == 32;
  }
  return one_bit_pixels && setup->bitmap_format_bit_order == XCB_IMAGE_ORDER_LSB_FIRST &&
         (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) == (std::endian::native == std::endian::little);
}

// Whether pictures of `depth` on `visual` are 32-bit pixels 0x..RRGGBB in the host's byte order,
// which is what a Format_RGB32 image holds.
bool TakesRgb32(const xcb_setup_t* setup, xcb_visualid_t visual, std::uint8_t depth) {
  const bool host_lsb_first = std::endian::native == std::endian::little;
  if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != host_lsb_first) return false;
  bool pixels_32_bit = false;
  for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format)) {
    if (format.data->depth == depth) pixels_32_bit = format.data->bits_per_pixel == 32 && format.data->scanline_pad == 32;
  }
  if (!pixels_32_bit) return false;
  for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen.data); d.rem; xcb_depth_next(&d)) {
      if (d.data->depth != depth) continue;
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
        if (v.data->visual_id != visual) continue;
        return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000u &&
               v.data->green_mask == 0x00FF00u && v.data->blue_mask == 0x0000FFu;
      }
    }
  }
  return false;
}

}  // namespace

ServerPicture::~ServerPicture() {
  if (pixmap_ != 0) xcb_free_pixmap(connection_, pixmap_);
}

ServerPicture::ServerPicture(ServerPicture&& other) noexcept
    : connection_(other.connection_), pixmap_(std::exchange(other.pixmap_, 0)) {}

ServerPicture& ServerPicture::operator=(ServerPicture&& other) noexcept {
  if (this != &other) {
    if (pixmap_ != 0) xcb_free_pixmap(connection_, pixmap_);
    connection_ = other.connection_;
    pixmap_ = std::exchange(other.pixmap_, 0);
  }
  return *this;
}

std::unique_ptr<ServerPictures> ServerPictures::For(QWidget& window) {
  xcb_connection_t* connection = X11Connection();
  if (!connection || xcb_connection_has_error(connection)) return nullptr;
  const auto id = static_cast<xcb_window_t>(window.winId());
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection, &xcb_shape_id);
  const bool usable = attributes && geometry && TakesRgb32(setup, attributes->visual, geometry->depth) &&
                      TakesMonoLsb(setup) && shape && shape->present;
  const std::uint8_t depth = geometry ? geometry->depth : 0;
  std::free(attributes);
  std::free(geometry);
  if (!usable) return nullptr;
  return std::unique_ptr<ServerPictures>(new ServerPictures(connection, id, depth));
}

ServerPictures::ServerPictures(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth)
    : connection_(connection), window_(window), depth_(depth) {
  const std::uint32_t no_exposures = 0;
  gc_ = xcb_generate_id(connection_);
  xcb_create_gc(connection_, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
  // A bitmap's GC is made on a bitmap; the GC outlives it.
  const xcb_pixmap_t one_bit = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, 1, one_bit, window_, 1, 1);
  bitmap_gc_ = xcb_generate_id(connection_);
  xcb_create_gc(connection_, bitmap_gc_, one_bit, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
  xcb_free_pixmap(connection_, one_bit);
}

ServerPictures::~ServerPictures() {
  xcb_free_gc(connection_, gc_);
  xcb_free_gc(connection_, bitmap_gc_);
}

ServerPicture ServerPictures::Upload(const QImage& image) {
  return PutImage(image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32),
                  depth_, gc_);
}

ServerPicture ServerPictures::UploadShape(const QImage& image, std::uint32_t key) {
  // MaskOutColor: the key's pixels are 0, the others 1.
  QImage bitmap = image.createMaskFromColor(0xFF000000u | key, Qt::MaskOutColor);
  if (bitmap.format() != QImage::Format_MonoLSB) bitmap = bitmap.convertToFormat(QImage::Format_MonoLSB);
  return PutImage(bitmap, 1, bitmap_gc_);
}

ServerPicture ServerPictures::PutImage(const QImage& pixels, std::uint8_t depth, std::uint32_t gc) {
  const auto width = static_cast<std::uint16_t>(pixels.width());
  const auto height = static_cast<std::uint16_t>(pixels.height());
  const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, depth, pixmap, window_, width, height);
  // In bands of rows, each well inside the largest request the server takes.
  const auto row_bytes = static_cast<std::size_t>(pixels.bytesPerLine());
  const std::size_t largest = std::min<std::size_t>(std::size_t{xcb_get_maximum_request_length(connection_)} * 4, 1u << 18);
  const int band = std::max(1, static_cast<int>((largest - 64) / std::max<std::size_t>(row_bytes, 1)));
  for (int top = 0; top < height; top += band) {
    const int rows = std::min(band, height - top);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                  width, static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(top), 0, depth,
                  static_cast<std::uint32_t>(row_bytes * rows), pixels.constScanLine(top));
  }
  return ServerPicture(connection_, pixmap);
}

ServerPicture ServerPictures::SideBySide(const std::array<const ServerPicture*, 3>& pictures, int width, int height) {
  return Join(pictures, width, height, depth_, gc_);
}

ServerPicture ServerPictures::ShapesSideBySide(const std::array<const ServerPicture*, 3>& bitmaps, int width,
                                               int height) {
  return Join(bitmaps, width, height, 1, bitmap_gc_);
}

ServerPicture ServerPictures::Join(const std::array<const ServerPicture*, 3>& parts, int width, int height,
                                   std::uint8_t depth, std::uint32_t gc) {
  const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
  const auto w = static_cast<std::uint16_t>(width);
  const auto h = static_cast<std::uint16_t>(height);
  xcb_create_pixmap(connection_, depth, pixmap, window_, static_cast<std::uint16_t>(3 * width), h);
  for (int i = 0; i < 3; ++i) {
    xcb_copy_area(connection_, parts[i]->pixmap(), pixmap, gc, 0, 0, static_cast<std::int16_t>(i * width), 0, w, h);
  }
  return ServerPicture(connection_, pixmap);
}

void ServerPictures::Show(const ServerPicture& picture, const ServerPicture& shape) {
  const std::uint32_t pixmap = picture.pixmap();
  xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &pixmap);
  xcb_shape_mask(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0, shape.pixmap());
  xcb_clear_area(connection_, 0, window_, 0, 0, 0, 0);
  xcb_flush(connection_);
}

void ServerPictures::StopExposeEvents() {
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window_), nullptr);
  if (!attributes) return;
  const std::uint32_t mask = attributes->your_event_mask & ~std::uint32_t{XCB_EVENT_MASK_EXPOSURE};
  std::free(attributes);
  xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);
}

}  // namespace zumbolo
