#include "text_output.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tsendrel_python {
namespace {

PyObject* general(std::string_view bytes) {
  return PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
}

std::uint64_t little_endian_word(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// Decodes into `out` (room for `room` characters); the count of characters, or -1 where the text holds a
// character past U+FFFF, bytes that are not UTF-8, more characters than `room`, or no character past
// U+00FF (a str of one-byte characters).
Py_ssize_t decode_two_byte_text(const unsigned char* p, const unsigned char* end, Py_UCS2* out,
                                Py_ssize_t room) {
  Py_UCS2* const first = out;
  Py_UCS2* const last = out + room;
  bool wide = false;
  // Two characters of U+0800..U+0FFF (Tibetan's block among them): E0, A0..BF, 80..BF, twice.
  constexpr std::uint64_t kPairMask = 0xC0E0FFC0E0FFull, kPair = 0x80A0E080A0E0ull;
  while (p < end) {
    // Four characters at once where they are (most of a Tibetan text), else two, else one.
    if (end - p >= 14 && last - out >= 4) {
      const std::uint64_t w = little_endian_word(p), v = little_endian_word(p + 6);
      if ((w & kPairMask) == kPair && (v & kPairMask) == kPair) {
        out[0] = static_cast<Py_UCS2>((w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
        out[1] = static_cast<Py_UCS2>((w >> 26 & 0xFC0) | (w >> 40 & 0x3F));
        out[2] = static_cast<Py_UCS2>((v >> 2 & 0xFC0) | (v >> 16 & 0x3F));
        out[3] = static_cast<Py_UCS2>((v >> 26 & 0xFC0) | (v >> 40 & 0x3F));
        out += 4;
        p += 12;
        wide = true;
        continue;
      }
    }
    if (out == last) return -1;
    if (end - p >= 8 && last - out >= 2) {
      const std::uint64_t w = little_endian_word(p);
      if ((w & kPairMask) == kPair) {
        out[0] = static_cast<Py_UCS2>((w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
        out[1] = static_cast<Py_UCS2>((w >> 26 & 0xFC0) | (w >> 40 & 0x3F));
        out += 2;
        p += 6;
        wide = true;
        continue;
      }
    }
    const unsigned c = *p;
    if (c < 0x80) {
      *out++ = static_cast<Py_UCS2>(c);
      ++p;
      continue;
    }
    if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      const unsigned u = (c & 0x1F) << 6 | (p[1] & 0x3Fu);
      *out++ = static_cast<Py_UCS2>(u);
      wide |= u > 0xFF;
      p += 2;
      continue;
    }
    if (c >= 0xE0 && c < 0xF0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      const unsigned u = (c & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      // Not overlong, and not a surrogate (which the general decoder escapes byte by byte).
      if (u >= 0x800 && (u < 0xD800 || u > 0xDFFF)) {
        *out++ = static_cast<Py_UCS2>(u);
        wide = true;
        p += 3;
        continue;
      }
    }
    return -1;
  }
  return wide ? out - first : -1;
}

}  // namespace

PyObject* decoded_output(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  // Text that does not start with a character past U+00FF (roman text, Wylie) is not tried: its str
  // likely has one byte a character.
  const std::string_view start = bytes.substr(0, 4096);
  const bool tried = bytes.size() >= 256 && bytes.size() < static_cast<std::size_t>(PY_SSIZE_T_MAX / 2) &&
                     std::any_of(start.begin(), start.end(), [](char b) {
                       return static_cast<unsigned char>(b) >= 0xC4 && static_cast<unsigned char>(b) < 0xF0;
                     });
  if (!tried) return general(bytes);
  // The str is made at its length, counted first: made a character a byte and cut after, it came from
  // fresh pages at every call, which the memory allocator gave back when it was freed.
  Py_ssize_t characters = 0;
  Py_BEGIN_ALLOW_THREADS
  characters = static_cast<Py_ssize_t>(std::count_if(
      p, p + bytes.size(), [](unsigned char b) { return (b & 0xC0) != 0x80; }));
  Py_END_ALLOW_THREADS
  PyObject* str = PyUnicode_New(characters, 0xFFFF);
  if (!str) return nullptr;
  Py_ssize_t length;
  Py_BEGIN_ALLOW_THREADS
  length = decode_two_byte_text(p, p + bytes.size(), PyUnicode_2BYTE_DATA(str), characters);
  Py_END_ALLOW_THREADS
  if (length != characters) {
    Py_DECREF(str);
    return general(bytes);
  }
  return str;
}

}  // namespace tsendrel_python
