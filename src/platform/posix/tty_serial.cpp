#include "platform/posix/tty_serial.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/signal_flag.h"
#include "platform/posix/custom_baud.h"
#include "platform/posix/low_latency.h"

namespace dravel::platform {

namespace {

struct StandardRate {
  long baud;
  speed_t speed;
};

constexpr StandardRate STANDARD_RATES[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000},
    {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

const char* BUSY = "device is busy (in use by another program)";

std::string system_reason() {
  return errno == EBUSY ? BUSY : std::strerror(errno);
}

// Raw 8N1, no flow control, reads that return at once with what has arrived.
termios line_settings(termios t) {
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return t;
}

// The rate the line runs at: the driver's own figure where the system has one, else the
// speed constant's; 0 when neither says.
long current_rate(int fd) {
  if (long rate = line_rate(fd); rate > 0) return rate;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return 0;
  for (const StandardRate& r : STANDARD_RATES)
    if (r.speed == ::cfgetospeed(&t)) return r.baud;
  return 0;
}

// Empty when the driver took the rate, in its own rounding; otherwise why not, the line set
// back to `line` (a driver falls back to the old rate when its clock cannot make the new one).
std::string apply_rate(int fd, const termios& line, long baud, long before) {
  speed_t speed = standard_speed(baud);
  std::string reason;
  if (speed == 0) {
    if (!set_custom_baud(fd, baud, reason)) return reason;
  } else {
    termios t = line;
    if (::cfsetspeed(&t, speed) != 0 || ::tcsetattr(fd, TCSANOW, &t) != 0)
      reason = std::strerror(errno);
  }
  const long now = current_rate(fd);
  if (reason.empty() && (rate_close_to(now, baud) || now != before)) return {};
  if (reason.empty()) reason = "the device cannot run at that rate";
  ::tcsetattr(fd, TCSANOW, &line);
  return reason;
}

// What the caller hears of the rate: nothing when the line runs at it.
void judge_rate(OpenResult& result, const std::string& path, long baud, const std::string& refused,
                long now) {
  const std::string asked = "baud rate " + std::to_string(baud);
  const std::string runs =
      now > 0 ? "the line runs at " + std::to_string(now) : "the line keeps its previous rate";
  result.rate = now;
  if (!refused.empty()) {
    result.rate_refused = true;
    result.warning = asked + " refused by " + path + " (" + refused + "); " + runs;
  } else if (now > 0 && !rate_close_to(now, baud)) {
    result.warning = asked + " is not what " + path + " makes; " + runs;
  }
}

// The Unix 98 pty slaves' major numbers (Linux: 136 to 143).
bool is_pty(int fd) {
#ifdef __linux__
  struct stat st {};
  return ::fstat(fd, &st) == 0 && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
#else
  (void)fd;
  return false;
#endif
}

struct ControlCall {
  Control control;
  unsigned long request;
  int bits;  // the modem line for TIOCMBIS/TIOCMBIC; 0 for the break calls
};
constexpr ControlCall CONTROL_CALLS[] = {
    {Control::BreakOn, TIOCSBRK, 0},       {Control::BreakOff, TIOCCBRK, 0},
    {Control::DtrOn, TIOCMBIS, TIOCM_DTR}, {Control::DtrOff, TIOCMBIC, TIOCM_DTR},
    {Control::RtsOn, TIOCMBIS, TIOCM_RTS}, {Control::RtsOff, TIOCMBIC, TIOCM_RTS},
};

}  // namespace

speed_t standard_speed(long baud) {
  for (const StandardRate& r : STANDARD_RATES)
    if (r.baud == baud) return r.speed;
  return 0;
}

OpenResult TtySerial::open(const std::string& path, long baud) {
  close();
  failure_.clear();
  OpenResult result;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.error = system_reason();
    return result;
  }
  auto fail = [&](std::string why) {
    ::close(fd);
    result.error = std::move(why);
    return result;
  };
  // Raw before anything else, the lock included: a tty opens in cooked mode and echoes what
  // arrives, so a board that printed since the port was last open (its banner, held in the
  // UART's or the emulator's buffer) would get its own text back as a command line.
  termios old{};
  if (::tcgetattr(fd, &old) != 0) return fail("not a terminal device");
  termios line = line_settings(old);
  if (::tcsetattr(fd, TCSANOW, &line) != 0) return fail(std::strerror(errno));
  // The lock holds off a second program even where TIOCEXCL does not (root ignores it). A
  // port in use gets its holder's settings back.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ::tcsetattr(fd, TCSANOW, &old);
    return fail(e == EWOULDBLOCK ? BUSY : std::strerror(e));
  }
  ::ioctl(fd, TIOCEXCL);
  // What came while the line still echoed (a cooked tty: the first open after boot or after
  // an adapter appears) is dropped, with any echo of it not yet sent: the board's new output
  // starts from here. A line that was raw already (a simulator's pty) took its bytes as sent.
  // Raw now, so the count is every byte the line discipline holds, each one echoed if ECHO was
  // on: no program can close that window (the tty is cooked until its first tcsetattr), so the
  // caller is told and clears the board's command line.
  int held = 0;
  result.echoed = (old.c_lflag & ECHO) != 0 && ::ioctl(fd, TIOCINQ, &held) == 0 && held > 0;
  if ((old.c_lflag & (ECHO | ICANON)) != 0) ::tcflush(fd, TCIOFLUSH);

  errno = 0;
  const long before = current_rate(fd);
  std::string refused = apply_rate(fd, line, baud, before);
  judge_rate(result, path, baud, refused, current_rate(fd));
  low_latency_ = set_low_latency(fd);
  fd_ = fd;
  path_ = path;
  result.ok = true;
  return result;
}

void TtySerial::close() {
  if (fd_ < 0) return;
  if (low_latency_) clear_low_latency(fd_);
  low_latency_ = false;
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  held_.clear();
  hang_up_seen_ = false;
  hung_up_ = false;
}

long TtySerial::fail(std::string why, bool gone) {
  failure_ = std::move(why);
  if (gone) hung_up_ = true;
  return -1;
}

void TtySerial::take_input() {
  if (fd_ < 0 || hung_up_) return;
  std::uint8_t buf[4096];
  while (held_.size() < HOLD_ROOM) {
    std::size_t room = HOLD_ROOM - held_.size();
    ssize_t n = ::read(fd_, buf, room < sizeof buf ? room : sizeof buf);
    if (n <= 0) return;  // nothing more now; failures show on the next read
    held_.insert(held_.end(), buf, buf + n);
  }
}

long TtySerial::read(std::uint8_t* buf, std::size_t max) {
  if (!held_.empty()) {
    std::size_t n = held_.size() < max ? held_.size() : max;
    std::copy_n(held_.begin(), n, buf);
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<long>(n);
  }
  if (fd_ < 0) return fail("the device is not open", false);
  if (hung_up_) return -1;
  ssize_t n = ::read(fd_, buf, max);
  if (n > 0) return n;
  // A hung-up tty reads as empty, not as an error; the wait's hang-up tells them apart.
  if (n == 0 && !hang_up_seen_) return 0;
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // EIO and the like: the line is gone
  const int e = errno;
  return fail(n == 0 ? "the line hung up" : std::strerror(e), true);
}

long TtySerial::write(const std::uint8_t* data, std::size_t n) {
  if (fd_ < 0) return fail("the device is not open", false);
  if (hung_up_) return -1;
  const ssize_t w = ::write(fd_, data, n);
  if (w >= 0) return static_cast<long>(w);
  // No room in the driver now (or a signal came first): the caller waits for room.
  if (const int e = errno; e == EAGAIN || e == EINTR) return 0;
  const int e = errno;
  return fail(std::strerror(e), e == EIO);
}

ControlResult TtySerial::set_control(Control c) {
  if (fd_ < 0) return control_unsupported(c, "the device is not open");
  if (hung_up_) return control_unsupported(c, failure_);
  if (is_pty(fd_))
    return control_unsupported(c, path_ + " is a pseudo-terminal: it has no BREAK or modem lines");
  for (const ControlCall& call : CONTROL_CALLS) {
    if (call.control != c) continue;
    int bits = call.bits;
    const int r = call.bits != 0 ? ::ioctl(fd_, call.request, &bits) : ::ioctl(fd_, call.request);
    if (r != 0) return control_unsupported(c, path_ + ": " + std::strerror(errno));
    return {true, ""};
  }
  return control_unsupported(c, "unknown line");
}

}  // namespace dravel::platform
