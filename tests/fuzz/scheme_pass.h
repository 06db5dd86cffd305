// One scheme pass over a user's text file (text mode, as the driver opens it): it must read and write
// to the end without failing.
// Reads the input bytes from a file in the harness's folder; writes into a stream in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

namespace tsd::fuzz {

using SchemePass = int (*)(Stream& src, Stream& dst);

inline int run_scheme_pass(SchemePass pass, const std::uint8_t* data, std::size_t size) {
  const std::string path = write_file("input.txt", data, size);
  Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
  Stream out = fuzz::memory_stream();
  require(in.is_open() && out.is_open(), "the harness's files open");
  require(pass(in, out) == 0, "a scheme pass over a readable file succeeds");
  require(out.flush() == 0 && !out.error(), "its output is written");
  return 0;
}

}  // namespace tsd::fuzz
