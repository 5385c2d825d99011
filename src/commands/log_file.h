#pragma once
#include <cstdio>
#include <string_view>

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
  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace dravel
