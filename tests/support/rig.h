#pragma once
// A whole in-process dravel: fake seams, a fresh State, and optionally the simulated monitor.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/monitor.h"
#include "support/fakes.h"
#include "terminal/state.h"

namespace dravel::test {

// The simulated monitor as the far end of the line.
class SimPeer : public SerialPeer {
 public:
  sim::Monitor monitor;
  void from_host(const std::uint8_t* data, std::size_t n) override { monitor.receive(data, n); }
  std::size_t to_host(std::uint8_t* buf, std::size_t max) override {
    return monitor.transmit(buf, max);
  }
};

// A scratch directory, removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string write(const std::string& name, const std::string& content) const;
  static std::string read(const std::string& path);

 private:
  std::string path_;
};

struct Rig {
  Rig();
  explicit Rig(SerialPeer& peer);

  FakeConsole console;
  ManualClock clock;
  FakeIdle idle{clock};
  FakeShell shell;
  RealFiles files;
  PeerSerial serial;
  platform::Platform io{serial, console, clock, shell, files, idle};
  std::unique_ptr<State> state;
  std::map<std::string, std::string> env;
  // The rig's own history file (DRAVELHIS unless a test sets it): never the user's.
  TempDir home;
  std::string history_file() const { return home.file("dravel.his"); }
  bool history_in_env = true;  // false: DRAVELHIS stays unset unless env names one

  State& s() { return *state; }
  // What the dispatcher does with a handler's result: prints its reason; the outcome.
  Outcome shown(const CommandResult& r);
  // Opens the port as start-up does (to the peer).
  void open_port();
  // Runs the whole program with `args` (no program name) and the rig's environment, its
  // history in the rig's own directory unless env names one.
  int run(const std::vector<std::string>& args = {});
  // Runs terminal passes until `done` holds or `max_passes` passes have run.
  template <typename Pred>
  bool pass_until(Pred done, int max_passes = 100000);
};

}  // namespace dravel::test

#include "terminal/terminal_loop.h"

template <typename Pred>
bool dravel::test::Rig::pass_until(Pred done, int max_passes) {
  for (int i = 0; i < max_passes; ++i) {
    if (done()) return true;
    if (!terminal_pass(*state)) return done();
  }
  return done();
}
