#include "e2e/tmux_driver.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dravel::e2e {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto POLL_INTERVAL = std::chrono::milliseconds(20);
const char* const SESSION = "t";

// Runs a program and returns what it wrote to standard output; `status` gets its exit status.
std::string run(const std::vector<std::string>& argv, int* status) {
  int out[2];
  if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 2);
    ::close(out[0]);
    ::close(out[1]);
    // A test run from inside tmux must not talk to the user's own server.
    ::unsetenv("TMUX");
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) != 0;) {
    if (n > 0) text.append(buf, static_cast<std::size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  ::close(out[0]);
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (status != nullptr) *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return text;
}

// One word for the shell tmux starts the pane's command with.
std::string quoted(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string unique_socket_name() {
  static std::atomic<int> counter{0};
  return "dravel-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

bool TmuxPane::available() {
  int status = -1;
  run({"tmux", "-V"}, &status);
  return status == 0;
}

TmuxPane::TmuxPane(const std::vector<std::string>& command, const std::string& dir,
                   const std::vector<std::string>& env)
    : socket_(unique_socket_name()), dir_(dir) {
  // Read as the server starts; the pane stays after the command, so its last screen can be shown.
  const std::string conf = dir + "/tmux.conf";
  std::ofstream(conf) << "set -g remain-on-exit on\n"
                         "set -g default-terminal screen\n"
                         "set -g status off\n"
                         "set -g history-limit 1000\n";
  // The terminal's mode is saved on both sides of the command, and its status kept in a file:
  // tmux now and then misses the end of a pane's process, so pane_dead is not relied on.
  std::vector<std::string> wrapped = {
      "sh", "-c",
      "stty -g >tty.before; \"$@\"; s=$?; stty -g >tty.after; echo $s >exit.new; "
      "mv exit.new exit.status; exit $s",
      "sh"};
  wrapped.insert(wrapped.end(), command.begin(), command.end());
  std::string shell_command;
  for (const std::string& word : wrapped)
    shell_command += (shell_command.empty() ? "" : " ") + quoted(word);
  std::vector<std::string> args = {"-f", conf, "new-session", "-d", "-s", SESSION,
                                   "-x", "80", "-y",          "25", "-c", dir};
  for (const std::string& e : env) {
    args.push_back("-e");
    args.push_back(e);
  }
  args.push_back(shell_command);
  int status = -1;
  tmux(args, &status);
  if (status != 0) throw std::runtime_error("tmux new-session failed");
}

TmuxPane::~TmuxPane() {
  // The server leaves its socket behind; ask where it is before ending it.
  std::string socket_path = tmux({"display-message", "-p", "#{socket_path}"});
  tmux({"kill-server"});
  socket_path.erase(socket_path.find_last_not_of('\n') + 1);
  if (!socket_path.empty()) ::unlink(socket_path.c_str());
}

std::string TmuxPane::tmux(const std::vector<std::string>& args, int* status) {
  std::vector<std::string> argv = {"tmux", "-L", socket_};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, status);
}

void TmuxPane::keys(const std::vector<std::string>& names) {
  std::vector<std::string> args = {"send-keys", "-t", SESSION};
  args.insert(args.end(), names.begin(), names.end());
  tmux(args);
}

void TmuxPane::type(const std::string& text) {
  tmux({"send-keys", "-t", SESSION, "-l", text});
}

std::string TmuxPane::screen() {
  std::string raw = tmux({"capture-pane", "-p", "-t", SESSION});
  std::istringstream in(raw);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

bool TmuxPane::wait_for(const std::string& needle, Seconds deadline) {
  return wait_for_count(needle, 1, deadline);
}

bool TmuxPane::wait_for_count(const std::string& needle, int count, Seconds deadline) {
  auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(deadline);
  for (;;) {
    if (count_of(screen(), needle) >= count) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
}

std::optional<int> TmuxPane::wait_exit(Seconds deadline) {
  auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(deadline);
  for (;;) {
    int status = 0;
    if (std::ifstream(dir_ + "/exit.status") >> status) return status;
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
}

bool TmuxPane::terminal_restored() const {
  auto read = [this](const char* name) {
    std::ostringstream text;
    text << std::ifstream(dir_ + "/" + name).rdbuf();
    return text.str();
  };
  std::string before = read("tty.before");
  return !before.empty() && read("tty.after") == before;
}

}  // namespace dravel::e2e
