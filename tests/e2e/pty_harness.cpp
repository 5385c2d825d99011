#include "e2e/pty_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace dravel::e2e {

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

Clock::time_point deadline_from(Seconds d) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(d);
}

// Reads what is available now (waiting at most `wait_ms` for the first byte).
// Returns false once the fd has reached EOF or hang-up.
bool read_some(int fd, std::string& into, int wait_ms) {
  pollfd p{fd, POLLIN, 0};
  int r = ::poll(&p, 1, wait_ms);
  if (r <= 0) return true;
  char buf[4096];
  ssize_t n = ::read(fd, buf, sizeof buf);
  if (n > 0) {
    into.append(buf, static_cast<std::size_t>(n));
    return true;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  return false;  // EIO on a pty master: the slave side is closed
}

void set_nonblocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      throw std::runtime_error(std::string("pty write failed: ") + std::strerror(errno));
    }
  }
}

termios cooked_terminal() {
  termios t{};
  t.c_iflag = ICRNL | IXON | BRKINT;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS8 | CREAD | HUPCL;
  t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
  t.c_cc[VINTR] = 3;
  t.c_cc[VQUIT] = 034;
  t.c_cc[VERASE] = 0177;
  t.c_cc[VKILL] = 025;
  t.c_cc[VEOF] = 4;
  t.c_cc[VSTART] = 021;
  t.c_cc[VSTOP] = 023;
  t.c_cc[VSUSP] = 032;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetspeed(&t, B38400);
  return t;
}

}  // namespace

PtyProcess::PtyProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) {
  initial_ = cooked_terminal();
  winsize ws{};
  ws.ws_row = 25;
  ws.ws_col = 80;
  // Build argv before forking: the child may only call async-signal-safe functions.
  std::vector<std::string> argv_store{program};
  argv_store.insert(argv_store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_store) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_store = env;

  pid_ = ::forkpty(&master_, nullptr, &initial_, &ws);
  if (pid_ < 0) throw std::runtime_error(std::string("forkpty: ") + std::strerror(errno));
  if (pid_ == 0) {
    for (auto& e : env_store) ::putenv(e.data());
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  set_nonblocking(master_);
}

PtyProcess::~PtyProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
}

void PtyProcess::type(std::string_view keys) {
  write_all(master_, keys);
}

void PtyProcess::drain() {
  while (true) {
    std::size_t before = out_.size();
    if (!read_some(master_, out_, 0) || out_.size() == before) return;
  }
}

template <typename Shown>
bool PtyProcess::wait_until(Shown shown, Seconds deadline) {
  auto end = deadline_from(deadline);
  while (!shown()) {
    int left = remaining_ms(end);
    if (left == 0) return false;
    if (!read_some(master_, out_, left)) return shown();
  }
  return true;
}

bool PtyProcess::wait_for(std::string_view needle, Seconds deadline) {
  return wait_until([&] { return out_.find(needle) != std::string::npos; }, deadline);
}

bool PtyProcess::wait_for_after(std::string_view mark, std::string_view needle, Seconds deadline) {
  return wait_until(
      [&] {
        std::size_t at = out_.find(mark);
        return at != std::string::npos && out_.find(needle, at + mark.size()) != std::string::npos;
      },
      deadline);
}

const std::string& PtyProcess::output() {
  drain();
  return out_;
}

void PtyProcess::clear_output() {
  drain();
  out_.clear();
}

std::optional<int> PtyProcess::wait_exit(Seconds deadline) {
  auto end = deadline_from(deadline);
  bool open = true;
  while (!exited_) {
    int st = 0;
    pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      exited_ = true;
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      break;
    }
    int left = remaining_ms(end);
    if (left == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      exited_ = true;
      return std::nullopt;
    }
    // Keep reading so a program blocked on a full pty can finish; once the pty
    // is closed there is nothing to read, so just pause briefly between checks.
    if (open) open = read_some(master_, out_, left < 20 ? left : 20);
    if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  drain();
  return status_;
}

termios PtyProcess::tty_settings() const {
  termios t{};
  if (::tcgetattr(master_, &t) != 0)
    throw std::runtime_error(std::string("tcgetattr: ") + std::strerror(errno));
  return t;
}

void PtyProcess::send_signal(int sig) {
  ::kill(pid_, sig);
}

PtyDevice::PtyDevice() {
  termios raw = cooked_terminal();
  ::cfmakeraw(&raw);  // no echo of what the test sends before the program takes over
  if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0)
    throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
  path_ = ::ttyname(slave_);
  set_nonblocking(master_);
}

PtyDevice::~PtyDevice() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
}

void PtyDevice::write(std::string_view bytes) {
  write_all(master_, bytes);
}

bool PtyDevice::wait_for(std::string_view needle, Seconds deadline) {
  return read_until(master_, in_, needle, deadline);
}

bool read_until(int fd, std::string& seen, std::string_view needle, Seconds deadline) {
  auto end = deadline_from(deadline);
  while (seen.find(needle) == std::string::npos) {
    int left = remaining_ms(end);
    if (left == 0) return false;
    if (!read_some(fd, seen, left)) return seen.find(needle) != std::string::npos;
  }
  return true;
}

std::string served_path(PtyProcess& krvbsim) {
  if (!krvbsim.wait_for("krvbsim: serving on /dev/") || !krvbsim.wait_for("\n")) return "";
  std::string out = krvbsim.output();
  std::string path = out.substr(out.find("/dev/"));
  return path.substr(0, path.find_first_of("\r\n"));
}

const std::string& PtyDevice::received() {
  while (true) {
    std::size_t before = in_.size();
    if (!read_some(master_, in_, 0) || in_.size() == before) return in_;
  }
}

bool same_mode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

std::unique_ptr<PtyProcess> dravel_on_krvbsim(std::vector<std::string> sim_options,
                                              const std::string& history_file,
                                              const std::vector<std::string>& dravel_options) {
  sim_options.push_back("--");
  sim_options.push_back(DRAVEL_BIN);
  sim_options.insert(sim_options.end(), dravel_options.begin(), dravel_options.end());
  return std::make_unique<PtyProcess>(KRVBSIM_BIN, sim_options,
                                      std::vector<std::string>{"DRAVELHIS=" + history_file});
}

Finished run_to_end(std::vector<std::string> args, const std::string& history_file,
                    bool stdin_closed, std::chrono::seconds limit) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = {"DRAVELHIS=" + history_file};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string(*e).rfind("DRAVELHIS=", 0) != 0) env_text.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out[2];
  EXPECT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdin_closed)
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);

  // Generous: the machine may be busy; a run that hangs is what this catches.
  Finished f;
  const auto deadline = start + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;  // every writer gone: both programs ended
    f.output.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  // The pipe ends a moment before the process does.
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    ::usleep(10'000);
  f.took = std::chrono::steady_clock::now() - start;
  if (done != pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return f;
  }
  f.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return f;
}

}  // namespace dravel::e2e
