#pragma once
#include <cstdio>
#include <string_view>

#include "commands/line_stamper.h"

namespace dravel {

// The operation log: received text and one "local ..." line per interactive command.
// Flushed after every write so a killed program loses nothing already shown.
class LogFile {
 public:
  LogFile() = default;
  ~LogFile() { close(); }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  bool is_open() const { return file_ != nullptr; }
  // mode "a" or "w"; false when the file cannot be opened.
  bool open(const char* path, const char* mode);
  void close();
  void write(std::string_view text);
  // The board's text, each line stamped when the stamps are on (read `now` only then).
  void write_received(std::string_view text, const StampTime& now);
  // Our own lines ("local ..."): never stamped, and the board's next byte starts a line.
  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);

  void set_stamps(StampMode mode) { stamper_.set_mode(mode); }
  StampMode stamps() const { return stamper_.mode(); }

 private:
  std::FILE* file_ = nullptr;
  LineStamper stamper_;
};

}  // namespace dravel
