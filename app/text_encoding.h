#pragma once
// The encodings a settings file may come in, as the Windows private-profile functions know them:
// plain bytes (the system's code page, or UTF-8), UTF-8 after a byte-order mark, or UTF-16 after
// its byte-order mark (as Notepad saves "Unicode"). A UTF-16 file is held as UTF-8 while the
// program works on it; code units that make no character (a lone surrogate) are held as the
// three bytes UTF-8 would give that code point, so that they come back as they were.

#include <functional>
#include <string>
#include <string_view>

namespace zumbolo {

enum class TextEncoding { kBytes, kUtf8Mark, kUtf16Le, kUtf16Be };

struct DecodedText {
  std::string text;  // without the byte-order mark; UTF-8 for a UTF-16 file
  TextEncoding encoding = TextEncoding::kBytes;
  std::string odd_byte;  // the last byte of a UTF-16 file of odd length, kept as it was
};

// Takes the bytes of a file apart (a file of plain bytes keeps its buffer).
DecodedText DecodeText(std::string bytes);

// The bytes of `text` in `encoding`, mark first and `odd_byte` last, handed to `sink` in pieces of
// a few kilobytes; stops at the first piece the sink refuses and returns false then. Bytes of
// `text` that are no UTF-8 become U+FFFD in a UTF-16 file.
bool EncodeText(std::string_view text, TextEncoding encoding, std::string_view odd_byte,
                const std::function<bool(std::string_view)>& sink);

}  // namespace zumbolo
