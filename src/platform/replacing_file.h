#pragma once
// A file written beside the one it replaces and put in its place only when whole, so a crash,
// a full disk or a failed transfer leaves the old file as it was. The temporary file is made
// new (never an existing name or a link someone planted) in the target's directory, with the
// old file's permissions, and renamed over the target; a link at the target is replaced, not
// followed. A target that is no file to replace (a device such as /dev/null, a FIFO) is
// written in place.
#include <cstdio>
#include <string>

namespace dravel::platform {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False, with error_number(), when the temporary file cannot be made or the target is one
  // the user may not write (as opening it for writing would have said).
  bool open(const std::string& target);
  std::FILE* stream() const { return file_; }
  // Closes the temporary file and renames it over the target. False, with error_number(),
  // when a write, the close or the rename failed; the target is then untouched.
  bool commit();
  // Closes and removes the temporary file; the target is untouched.
  void discard();
  int error_number() const { return errno_; }
  // Written straight into the target: nothing of it can be kept back.
  bool in_place() const { return in_place_; }

 private:
  std::string target_, temp_;
  std::FILE* file_ = nullptr;
  int errno_ = 0;
  bool in_place_ = false;
};

}  // namespace dravel::platform
