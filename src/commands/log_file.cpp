#include "commands/log_file.h"

#include <cstdarg>
#include <string>

namespace dravel {

bool LogFile::open(const char* path, const char* mode) {
  close();
  file_ = std::fopen(path, mode);
  // A log opened mid-line starts with a stamp all the same.
  stamper_.start_line();
  return file_ != nullptr;
}

void LogFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void LogFile::write(std::string_view text) {
  if (file_ == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fflush(file_);
}

void LogFile::write_received(std::string_view text, const StampTime& now) {
  if (file_ == nullptr) return;
  if (stamper_.mode() == StampMode::Off) return write(text);
  std::string stamped;
  stamper_.feed(text, now, stamped);
  write(stamped);
}

void LogFile::printf(const char* format, ...) {
  if (file_ == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file_, format, args);
  va_end(args);
  std::fflush(file_);
  stamper_.start_line();
}

}  // namespace dravel
