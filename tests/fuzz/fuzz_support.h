// What the fuzz harnesses share: a private folder for the files that the loaders and the driver read,
// the bundled key tables, streams in memory filled with a harness's bytes, and the RTF structure check.
// Reads the data folder of the source tree; writes only inside its own temporary folder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "composer.h"
#include "platform/stream.h"
#include "support/temp_dir.h"

namespace tsd::fuzz {

// A broken invariant: says which and stops, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}
inline void require(bool holds, const char* what) {
  if (!holds) fail(what);
}

inline const tsd::testing::TempDir& folder() {
  static const tsd::testing::TempDir dir;
  return dir;
}

// Writes the bytes to `name` in the harness's folder and returns its path.
inline std::string write_file(std::string_view name, const std::uint8_t* data, std::size_t size) {
  return folder().write(name, std::string_view(reinterpret_cast<const char*>(data), size));
}

// A read/write stream in memory, which frees its bytes when closed. A temporary file per stream (an inode
// made and freed on every input) cost the targets more than the code they test.
struct MemoryFile {
  std::string bytes;
  std::size_t at = 0;

  static ssize_t read(void* cookie, char* buf, std::size_t n) {
    auto& f = *static_cast<MemoryFile*>(cookie);
    n = f.at < f.bytes.size() ? std::min(n, f.bytes.size() - f.at) : 0;
    std::memcpy(buf, f.bytes.data() + f.at, n);
    f.at += n;
    return static_cast<ssize_t>(n);
  }
  static ssize_t write(void* cookie, const char* buf, std::size_t n) {
    auto& f = *static_cast<MemoryFile*>(cookie);
    if (f.bytes.size() < f.at + n) f.bytes.resize(f.at + n);
    std::memcpy(f.bytes.data() + f.at, buf, n);
    f.at += n;
    return static_cast<ssize_t>(n);
  }
  static int seek(void* cookie, off64_t* offset, int whence) {
    auto& f = *static_cast<MemoryFile*>(cookie);
    const off64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<off64_t>(f.at)
                                              : static_cast<off64_t>(f.bytes.size());
    if (base + *offset < 0) return -1;
    f.at = static_cast<std::size_t>(base + *offset);
    *offset = static_cast<off64_t>(f.at);
    return 0;
  }
  static int close(void* cookie) {
    delete static_cast<MemoryFile*>(cookie);
    return 0;
  }
};

// A stream in memory holding the bytes, at its start: binary, or read as a text file is (CR LF as LF).
inline Stream stream_of(std::string_view bytes, Stream::Mode mode = Stream::Mode::binary) {
  auto* file = new MemoryFile{std::string(bytes)};
  std::FILE* f =
      fopencookie(file, "w+", {MemoryFile::read, MemoryFile::write, MemoryFile::seek, MemoryFile::close});
  if (!f) {
    delete file;
    fail("no stream in memory");
  }
  return Stream::adopt(f, mode, true);
}

// An empty binary stream in memory, for a target's output.
inline Stream memory_stream() {
  return stream_of({});
}

// Everything a stream holds, from its start, a window at a time.
inline std::string contents(Stream& s) {
  s.rewind();
  std::string out;
  read_rest(s, [&out](const unsigned char* p, std::size_t n) {
    out.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return out;
}

inline std::string_view text_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The tables that ship with the programs, loaded once.
template <int Forms>
const KeyTables<Forms>& bundled_tables() {
  static const std::unique_ptr<KeyTables<Forms>> tables = [] {
    auto t = std::make_unique<KeyTables<Forms>>();
    const std::string data = TSENDREL_SOURCE_DIR "/data/";
    if (load_key_tables((data + "keyfont").c_str(), (data + "keymap").c_str(), *t, nullptr) != 0)
      fail("the bundled key tables do not load");
    return t;
  }();
  return *tables;
}

// Well-formed UTF-8: no overlong form, surrogate or code point past U+10FFFF.
inline bool valid_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n;
    char32_t c;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3, c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4, c = b & 0x07;
    } else {
      return false;
    }
    if (i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += n;
  }
  return true;
}

// An RTF document's groups: every brace that no backslash escapes opens or closes one; they must nest
// and all be closed at the end.
inline bool groups_balanced(std::string_view rtf) {
  long depth = 0;
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

}  // namespace tsd::fuzz
