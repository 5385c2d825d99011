#pragma once
// In-process stand-ins for the platform seams: scripted keys with a captured screen,
// a manual clock that idle waits move forward, a recording shell, and a serial device
// whose other end is a SerialPeer (the simulated monitor, or a scripted one).
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/keyboard.h"
#include "platform/platform.h"

namespace dravel::test {

// Thrown when a test would wait for ever: no key left to read, or too much idle time.
struct TestHang : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Keys as the console delivers them, one key code a byte.
std::string keys(KeyCode special);
// F1..F12.
std::string fkey(int n);

class FakeConsole : public platform::Console {
 public:
  std::string screen;  // everything written
  bool raw = true;
  std::vector<bool> modes;  // each mode set, in order (true: raw)

  void type(const std::string& bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  }
  // Types `bytes` once `needle` shows on the screen (looked for in what is written after now).
  void when_screen(const std::string& needle, const std::string& bytes);
  bool keys_left() const { return !pending_.empty(); }
  // Screen text written since the last call.
  std::string take_screen();

  bool key_waiting() override;
  KeyCode read_key() override;
  void write(std::string_view text) override { screen.append(text); }
  void set_raw(bool on) override {
    raw = on;
    modes.push_back(on);
  }

 private:
  struct Trigger {
    std::string needle;
    std::string bytes;
    std::size_t from;
    bool fired = false;
  };
  void fire_triggers();
  std::deque<KeyCode> pending_;
  std::vector<Trigger> triggers_;
  std::size_t taken_ = 0;
};

class ManualClock : public platform::Clock {
 public:
  std::int64_t ms = 1'000'000'000;  // any start; only differences matter
  std::int64_t seconds() override { return ms / 1000; }
  std::int64_t milliseconds() override { return ms; }
  void advance_ms(std::int64_t d) { ms += d; }
};

// A wait ends when its timeout is up or when input comes; here input can come (a scripted
// peer speaks in on_wait) at most STEP_MS after the wait began, so the clock moves on by
// the timeout or STEP_MS, whichever is less, and by STEP_MS for a wait with no limit: time
// passes as it would while nothing arrives, and no test hangs on an endless wait. Gives up
// (TestHang) after `limit_ms` of idle time.
class FakeIdle : public platform::IdleWait {
 public:
  static constexpr int STEP_MS = 100;
  explicit FakeIdle(ManualClock& clock) : clock_(clock) {}
  std::int64_t limit_ms = 30LL * 60 * 1000;
  std::int64_t idle_ms = 0;
  int calls = 0;
  int last_timeout_ms = 0;        // as asked for, WAIT_FOREVER included
  int unlimited = 0;              // waits that asked for no time limit
  int room_waits = 0;             // waits that also ended when the line took more
  std::function<void()> on_wait;  // e.g. let a scripted peer speak
  std::function<void()> on_room;  // a wait for room: the line drains (the rig makes room)
  void wait(int timeout_ms, bool output_room) override;

 private:
  ManualClock& clock_;
};

class FakeShell : public platform::Shell {
 public:
  std::vector<std::string> commands;
  std::vector<int> limits_ms;
  std::function<void()> on_run;  // e.g. a command that takes its time on the manual clock
  int run(const std::string& command_line, int limit_ms) override {
    commands.push_back(command_line);
    limits_ms.push_back(limit_ms);
    if (on_run) on_run();
    return 0;
  }
};

class RealFiles : public platform::Files {
 public:
  bool exists(const std::string& path) override;
  bool readable(const std::string& path) override;
  std::FILE* open_inside(const std::string& dir, const std::string& name,
                         std::string& why) override;
};

// The far end of the in-memory serial line.
class SerialPeer {
 public:
  virtual ~SerialPeer() = default;
  virtual void from_host(const std::uint8_t* data, std::size_t n) = 0;
  virtual std::size_t to_host(std::uint8_t* buf, std::size_t max) = 0;
};

// A peer that answers from a script: bytes to send, and a hook on every host write.
class ScriptedPeer : public SerialPeer {
 public:
  std::string received;               // everything the host wrote
  std::deque<std::uint8_t> outgoing;  // what the host will read next
  std::function<void(ScriptedPeer&, const std::uint8_t*, std::size_t)> on_write;
  std::size_t max_chunk = 1 << 20;  // split what the host reads into pieces

  void say(const std::string& bytes) {
    outgoing.insert(outgoing.end(), bytes.begin(), bytes.end());
  }
  void from_host(const std::uint8_t* data, std::size_t n) override;
  std::size_t to_host(std::uint8_t* buf, std::size_t max) override;
};

class PeerSerial : public platform::SerialDevice {
 public:
  explicit PeerSerial(SerialPeer* peer = nullptr) : peer_(peer) {}
  void set_peer(SerialPeer* peer) { peer_ = peer; }

  bool fail_open = false;
  // Opens, but refuses the rate asked and runs at this one instead (0: takes every rate).
  long refused_rate_runs_at = 0;
  std::string opened_path;
  long opened_baud = 0;
  int opens = 0;         // attempts, failed ones too
  std::string wire_out;  // host to target, in order
  std::string wire_in;   // target to host, as read
  int writes = 0;
  bool echo_at_open = false;  // opens report bytes echoed before the line went raw
  // A slow line: each wait for room lets it take this many bytes more (0: every write is
  // taken whole at once), as a UART's driver holds a write it has no room for.
  std::size_t room_per_wait = 0;
  void make_room() { room_ = room_per_wait; }

  platform::OpenResult open(const std::string& path, long baud) override;
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;
  std::string failure() const override { return failure_; }
  // With `has_lines` BREAK, DTR and RTS are taken and each setting goes to `on_control`;
  // without, refused as a device with none refuses.
  bool has_lines = false;
  std::function<void(platform::Control)> on_control = [](platform::Control) {};
  platform::ControlResult set_control(platform::Control c) override {
    if (!has_lines || !open_) return SerialDevice::set_control(c);
    on_control(c);
    return {true, ""};
  }

  // The device goes away (an adapter pulled): reads and writes fail, and opening it fails
  // until plug_in().
  void unplug(std::string why = "Input/output error") {
    unplugged_ = true;
    fail_open = true;
    failure_ = std::move(why);
  }
  void plug_in() { fail_open = false; }

 private:
  SerialPeer* peer_;
  bool open_ = false;
  bool unplugged_ = false;
  std::string failure_;
  std::size_t room_ = 0;
};

}  // namespace dravel::test
