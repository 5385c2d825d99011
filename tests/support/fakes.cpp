#include "support/fakes.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>

#include "platform/file_inside.h"

namespace dravel::test {

namespace {
#if defined(_WIN32)
constexpr int FILE_EXISTS = 0, FILE_READABLE = 4;
int file_access(const std::string& path, int mode) {
  return ::_access(path.c_str(), mode);
}
#else
constexpr int FILE_EXISTS = F_OK, FILE_READABLE = R_OK;
int file_access(const std::string& path, int mode) {
  return ::access(path.c_str(), mode);
}
#endif
}  // namespace

std::string keys(KeyCode special) {
  return std::string(1, static_cast<char>(special));
}

std::string fkey(int n) {
  return keys(static_cast<KeyCode>(0xF0 + n));
}

void FakeConsole::when_screen(const std::string& needle, const std::string& bytes) {
  triggers_.push_back({needle, bytes, screen.size()});
}

void FakeConsole::fire_triggers() {
  for (Trigger& t : triggers_) {
    if (t.fired) continue;
    if (screen.find(t.needle, t.from) != std::string::npos) {
      t.fired = true;
      type(t.bytes);
    }
  }
}

std::string FakeConsole::take_screen() {
  std::string s = screen.substr(taken_);
  taken_ = screen.size();
  return s;
}

bool FakeConsole::key_waiting() {
  fire_triggers();
  return !pending_.empty();
}

KeyCode FakeConsole::read_key() {
  fire_triggers();
  if (pending_.empty()) throw TestHang("read_key with no key left");
  KeyCode k = pending_.front();
  pending_.pop_front();
  return k;
}

void FakeIdle::wait(int timeout_ms, bool output_room) {
  ++calls;
  last_timeout_ms = timeout_ms;
  if (timeout_ms < 0) ++unlimited;
  if (output_room) {
    ++room_waits;
    if (on_room) on_room();
  }
  if (on_wait) on_wait();
  // At least a millisecond, so a wait that keeps finding its deadline passed cannot spin.
  const int step = timeout_ms < 0 ? STEP_MS : std::clamp(timeout_ms, 1, STEP_MS);
  clock_.advance_ms(step);
  idle_ms += step;
  if (idle_ms > limit_ms) throw TestHang("idle for too long: the code under test waits for ever");
}

bool RealFiles::exists(const std::string& path) {
  return file_access(path, FILE_EXISTS) == 0;
}
bool RealFiles::readable(const std::string& path) {
  return file_access(path, FILE_READABLE) == 0;
}

std::FILE* RealFiles::open_inside(const std::string& dir, const std::string& name,
                                  std::string& why) {
  return platform::open_file_inside(dir, name, why);
}

void ScriptedPeer::from_host(const std::uint8_t* data, std::size_t n) {
  received.append(reinterpret_cast<const char*>(data), n);
  if (on_write) on_write(*this, data, n);
}

std::size_t ScriptedPeer::to_host(std::uint8_t* buf, std::size_t max) {
  std::size_t n = std::min({max, outgoing.size(), max_chunk});
  for (std::size_t i = 0; i < n; ++i) {
    buf[i] = outgoing.front();
    outgoing.pop_front();
  }
  return n;
}

platform::OpenResult PeerSerial::open(const std::string& path, long baud) {
  opened_path = path;
  opened_baud = baud;
  ++opens;
  if (fail_open) return {false, "No such file or directory", ""};
  open_ = true;
  unplugged_ = false;
  platform::OpenResult r{true, "", ""};
  r.echoed = echo_at_open;
  if (refused_rate_runs_at != 0) {
    r.rate = refused_rate_runs_at;
    r.rate_refused = true;
    r.warning = "baud rate " + std::to_string(baud) + " refused by " + path +
                " (the device cannot run at that rate); the line runs at " + std::to_string(r.rate);
  }
  return r;
}

long PeerSerial::read(std::uint8_t* buf, std::size_t max) {
  if (unplugged_) return -1;
  if (!open_ || peer_ == nullptr) return 0;
  std::size_t n = peer_->to_host(buf, max);
  wire_in.append(reinterpret_cast<const char*>(buf), n);
  return static_cast<long>(n);
}

long PeerSerial::write(const std::uint8_t* data, std::size_t n) {
  if (!open_ || unplugged_) return -1;
  if (room_per_wait > 0) {
    n = std::min(n, room_);
    room_ -= n;
    if (n == 0) return 0;
  }
  ++writes;
  wire_out.append(reinterpret_cast<const char*>(data), n);
  if (peer_ != nullptr) peer_->from_host(data, n);
  return static_cast<long>(n);
}

}  // namespace dravel::test
