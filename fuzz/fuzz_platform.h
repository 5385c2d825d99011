#pragma once
// A small set of stand-ins for the platform seams, for the fuzz targets: keys from the
// input then ESC for ever (so every wait has its way out), a clock that idle waits move on,
// a serial line whose far end is given bytes, and files that never exist.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "terminal/state.h"

namespace dravel::fuzz {

class Console : public platform::Console {
 public:
  std::deque<KeyCode> keys;  // then ESC
  // ESC is pressed again only once the program has taken the last one, as a user would.
  const KeyQueue* queue = nullptr;
  bool key_waiting() override;
  KeyCode read_key() override;
  void write(std::string_view) override {}
  void set_raw(bool) override {}
};

class Clock : public platform::Clock {
 public:
  std::int64_t ms = 1'000'000'000;
  std::int64_t seconds() override { return ms / 1000; }
  std::int64_t milliseconds() override { return ms; }
};

// A wait that never ends is a finding: every wait must give way to ESC or a time limit.
class Idle : public platform::IdleWait {
 public:
  explicit Idle(Clock& clock) : clock_(clock) {}
  void wait(int timeout_ms, bool output_room) override;

 private:
  Clock& clock_;
  long waits_ = 0;
};

class Shell : public platform::Shell {
 public:
  int run(const std::string&, int) override { return 0; }
};

class NoFiles : public platform::Files {
 public:
  bool exists(const std::string&) override { return false; }
  bool readable(const std::string&) override { return false; }
};

// Reads give `incoming`; writes are kept; each LF written may queue `answer_per_line`.
class Serial : public platform::SerialDevice {
 public:
  std::string incoming;
  std::string written;
  std::string answer_per_line;
  platform::OpenResult open(const std::string&, long) override;
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;

 private:
  bool open_ = true;
  std::size_t read_pos_ = 0;
};

// A history path that cannot be written, so an exit does not write one file per input.
inline constexpr const char* NO_HISTORY = "/nonexistent-dravel-fuzz/dravel.his";

struct Rig {
  Rig() {
    state->history_path = NO_HISTORY;
    console.queue = &state->core.keys;
  }
  Console console;
  Clock clock;
  Idle idle{clock};
  Shell shell;
  NoFiles files;
  Serial serial;
  platform::Platform io{serial, console, clock, shell, files, idle};
  std::unique_ptr<State> state = std::make_unique<State>(io);
  State& s() { return *state; }
};

// An in-memory file with a path that fopen takes, rewritten for each input.
class MemFile {
 public:
  MemFile();
  const std::string& path() const { return path_; }
  void set(const std::uint8_t* data, std::size_t size);

 private:
  int fd_ = -1;
  std::string path_;
};

// Makes an empty scratch directory the working directory (once per process).
void enter_scratch_dir();
// Removes everything in the scratch directory but `keep`.
void clear_scratch_dir(const char* keep = nullptr);

}  // namespace dravel::fuzz
