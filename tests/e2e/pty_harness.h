#pragma once
// Runs a real program on a fresh pty so end-to-end tests can type keys, read the
// screen with a deadline and check the terminal settings it leaves behind.
#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::e2e {

using Seconds = std::chrono::duration<double>;
inline constexpr Seconds kDeadline{10.0};

// A program running on the slave side of a new pty; the test holds the master.
class PtyProcess {
 public:
  // `env` entries are "NAME=value", added to (and overriding) the test's environment.
  PtyProcess(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {});
  ~PtyProcess();  // kills the program if it is still running
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;

  pid_t pid() const { return pid_; }
  int master_fd() const { return master_; }

  // Sends bytes as if typed.
  void type(std::string_view keys);
  // Waits until everything shown so far contains `needle`; false on timeout or EOF.
  bool wait_for(std::string_view needle, Seconds deadline = kDeadline);
  // Waits until `needle` shows after the first `mark`: output that came with the mark counts.
  bool wait_for_after(std::string_view mark, std::string_view needle, Seconds deadline = kDeadline);
  // Everything the program has shown so far (reads what is pending first).
  const std::string& output();
  // Drops what has been shown so far, so the next wait_for sees only new output.
  void clear_output();

  // Exit status (or 128+signal), or nullopt on timeout; the program is then killed.
  std::optional<int> wait_exit(Seconds deadline = kDeadline);
  // The pty's current settings, as the program set or restored them.
  termios tty_settings() const;
  // The settings the pty was created with (a normal cooked terminal).
  const termios& initial_settings() const { return initial_; }
  void send_signal(int sig);

 private:
  void drain();
  template <typename Shown>
  bool wait_until(Shown shown, Seconds deadline);
  int master_ = -1;
  termios initial_{};
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
  std::string out_;
};

// A second pty that stands in for a serial device: the program opens `path()`,
// the test reads and writes the master.
class PtyDevice {
 public:
  PtyDevice();
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  const std::string& path() const { return path_; }
  int master_fd() const { return master_; }
  void write(std::string_view bytes);
  // Waits until the bytes received so far contain `needle`; false on timeout.
  bool wait_for(std::string_view needle, Seconds deadline = kDeadline);
  const std::string& received();
  void clear_received() { in_.clear(); }

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up between users
  std::string path_;
  std::string in_;
};

// krvbsim on a fresh pty, with `sim_options`, running dravel on the pty it serves as the serial
// line; dravel keeps its history in `history_file` and takes `dravel_options` too.
std::unique_ptr<PtyProcess> dravel_on_krvbsim(std::vector<std::string> sim_options,
                                              const std::string& history_file,
                                              const std::vector<std::string>& dravel_options = {});

// Reads `fd` (a pty master, or a pty krvbsim serves) into `seen` until it holds `needle`;
// false at the deadline or the end of the input.
bool read_until(int fd, std::string& seen, std::string_view needle, Seconds deadline = kDeadline);

// The pty a krvbsim serving alone says it serves on, or "" when it does not say so.
std::string served_path(PtyProcess& krvbsim);

// True when two termios describe the same terminal mode (flags and control characters).
bool same_mode(const termios& a, const termios& b);

// A program run to its end with no terminal: standard output and error to one pipe, standard
// input /dev/null (or closed), dravel's history in `history_file`; killed after `limit`.
struct Finished {
  int status = -1;  // -1: still running at the limit (then killed)
  std::string output;
  std::chrono::steady_clock::duration took{};
};
Finished run_to_end(std::vector<std::string> args, const std::string& history_file,
                    bool stdin_closed, std::chrono::seconds limit);

}  // namespace dravel::e2e
