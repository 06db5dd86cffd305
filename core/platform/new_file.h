// A file that takes the place of its destination only once it is complete: it is written under a unique
// name in the destination's folder (created exclusively, so nothing else is ever overwritten) and renamed
// over the destination in one step. Until then, and after any failure, the destination is as it was, and
// the new file is removed. Also the one-step replacement of a file by another that the rename relies on.
#pragma once

#include <string>

#include "platform/stream.h"

namespace tsd {

// Renames `from` over `to`, replacing `to` in one step. 0, or -1 when it failed (`to` is then untouched).
int replace_file(const char* from, const char* to);

class NewFile {
 public:
  static constexpr int kWriteFailed = -1;  // a write, the flush or the close failed
  static constexpr int kNotReplaced = -2;  // complete, but the rename over the destination failed

  NewFile() = default;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() { abandon(); }

  // Creates the new file for `destination`. A destination that exists and is no regular file (a device,
  // a pipe) cannot be replaced by a rename and is opened for writing in place. 0, or -1 with errno set
  // (a folder that cannot be written, a destination that may not be replaced).
  int open(const char* destination, Stream::Mode mode);
  Stream& stream() { return stream_; }

  // Closes the new file and renames it over the destination: 0, kWriteFailed or kNotReplaced (errno
  // set); on a failure the new file is removed.
  int commit();
  // Closes and removes the new file; the destination is untouched.
  void abandon();

 private:
  Stream stream_;
  std::string temporary_;  // empty when writing in place
  std::string target_;
};

}  // namespace tsd
