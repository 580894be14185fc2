#include "app/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace zumbolo {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::size_t kPiece = 64 * 1024;

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// The code point that starts at `text[at]` and how many bytes it takes; a byte that starts no
// well-formed sequence is U+FFFD and takes one. Surrogate code points are taken as they are
// (that is how a UTF-16 file's lone surrogates are held).
std::pair<std::uint32_t, std::size_t> NextCodePoint(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t first = byte(at);
  if (first < 0x80) return {first, 1};
  std::size_t length = 0;
  std::uint32_t code_point = 0, least = 0;
  if ((first & 0xE0) == 0xC0) {
    length = 2, code_point = first & 0x1F, least = 0x80;
  } else if ((first & 0xF0) == 0xE0) {
    length = 3, code_point = first & 0x0F, least = 0x800;
  } else if ((first & 0xF8) == 0xF0) {
    length = 4, code_point = first & 0x07, least = 0x10000;
  } else {
    return {0xFFFD, 1};
  }
  if (at + length > text.size()) return {0xFFFD, 1};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {0xFFFD, 1};
    code_point = (code_point << 6) | (byte(at + i) & 0x3F);
  }
  if (code_point < least || code_point > 0x10FFFF) return {0xFFFD, 1};
  return {code_point, length};
}

}  // namespace

DecodedText DecodeText(std::string bytes) {
  DecodedText out;
  const std::string_view view(bytes);
  if (view.starts_with(kUtf8Mark)) {
    out.encoding = TextEncoding::kUtf8Mark;
    bytes.erase(0, kUtf8Mark.size());
    out.text = std::move(bytes);
    return out;
  }
  const bool big_endian = view.starts_with(kUtf16BeMark);
  if (!big_endian && !view.starts_with(kUtf16LeMark)) {
    out.text = std::move(bytes);
    return out;
  }
  out.encoding = big_endian ? TextEncoding::kUtf16Be : TextEncoding::kUtf16Le;
  const std::string_view units = view.substr(2);
  const std::size_t count = units.size() / 2;
  if (units.size() % 2 != 0) out.odd_byte.push_back(units.back());
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto first = static_cast<std::uint8_t>(units[2 * i]), second = static_cast<std::uint8_t>(units[2 * i + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  out.text.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t u = unit(i);
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unit(i + 1))) {
      AppendUtf8(out.text, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out.text, u);
    }
  }
  return out;
}

bool EncodeText(std::string_view text, TextEncoding encoding, std::string_view odd_byte,
                const std::function<bool(std::string_view)>& sink) {
  switch (encoding) {
    case TextEncoding::kBytes:
      return text.empty() || sink(text);
    case TextEncoding::kUtf8Mark:
      return sink(kUtf8Mark) && (text.empty() || sink(text));
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be:
      break;
  }
  const bool big_endian = encoding == TextEncoding::kUtf16Be;
  std::string piece(big_endian ? kUtf16BeMark : kUtf16LeMark);
  piece.reserve(kPiece + 4);
  const auto put = [&](std::uint32_t unit) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    piece += big_endian ? high : low;
    piece += big_endian ? low : high;
  };
  for (std::size_t at = 0; at < text.size();) {
    const auto [code_point, length] = NextCodePoint(text, at);
    at += length;
    if (code_point >= 0x10000) {
      put(0xD800 + ((code_point - 0x10000) >> 10));
      put(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      put(code_point);
    }
    if (piece.size() >= kPiece) {
      if (!sink(piece)) return false;
      piece.clear();
    }
  }
  piece += odd_byte;
  return piece.empty() || sink(piece);
}

}  // namespace zumbolo
