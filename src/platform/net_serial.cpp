#include "platform/net_serial.h"

#include <algorithm>

#include "base/signal_flag.h"

namespace dravel::platform {

namespace {

using namespace telnet;

// What the line is set to: 8 data bits, no parity, one stop bit, no flow control.
struct Setting {
  std::uint8_t code;
  std::uint8_t value;
};
constexpr Setting LINE_SETTINGS[] = {
    {SET_DATASIZE, 8}, {SET_PARITY, 1}, {SET_STOPSIZE, 1}, {SET_CONTROL, 1}};

// The options asked for at connect: binary and no go-ahead both ways, and the COM port.
struct Request {
  bool local;
  std::uint8_t option;
};
constexpr Request REQUESTS[] = {{true, BINARY},
                                {false, BINARY},
                                {true, SUPPRESS_GO_AHEAD},
                                {false, SUPPRESS_GO_AHEAD},
                                {true, COM_PORT}};

// SET-CONTROL's values for each line state.
struct ControlValue {
  Control control;
  std::uint8_t value;
};
constexpr ControlValue CONTROL_VALUES[] = {
    {Control::BreakOn, 5}, {Control::BreakOff, 6}, {Control::DtrOn, 8},
    {Control::DtrOff, 9},  {Control::RtsOn, 11},   {Control::RtsOff, 12},
};

}  // namespace

OpenResult NetSerial::open(const std::string& name, long baud) {
  close();
  OpenResult result;
  NetworkName where = parse_network_name(name);
  if (!where.error.empty() || where.kind == NetKind::None) {
    result.error = where.error.empty() ? "not a network port name" : where.error;
    return result;
  }
  // A reconnect under the device-loss retry must not hold the keyboard for long: the whole
  // open, connect and answers together, gets reconnect_ms. Answers still on their way are
  // taken by the reads that follow.
  const bool reconnect = name == opened_name_;
  const int limit = reconnect ? reconnect_ms : connect_ms;
  open_end_ms_ = reconnect ? socket_.now_ms() + reconnect_ms : NO_END;
  if (std::string why = socket_.connect(where.host, where.port, limit); !why.empty()) {
    result.error = why;
    return result;
  }
  codec_ = Codec{};
  telnet_ = where.kind == NetKind::Rfc2217;
  failed_ = false;
  failure_.clear();
  held_.clear();
  unsent_.clear();
  data_unsent_ = 0;
  if (telnet_) {
    server_rate_ = 0;
    result.warning = negotiate(baud, name);
    // The server answered with another rate: the line runs at that one.
    result.rate = server_rate_;
    result.rate_refused = server_rate_ != 0 && server_rate_ != baud;
  } else {
    result.warning = "baud rate " + std::to_string(baud) + " cannot be set over " + name +
                     " (a raw TCP port carries no line settings); the line runs at the "
                     "server's rate";
  }
  if (failed_) {
    result.error = failure_;
    result.warning.clear();
    socket_.close();
    return result;
  }
  opened_name_ = name;
  result.ok = true;
  return result;
}

bool NetSerial::settled() const {
  for (const Request& r : REQUESTS)
    if ((r.local ? codec_.local(r.option) : codec_.remote(r.option)) == Codec::Q::WantYes)
      return false;
  return true;
}

// Empty when the line took every setting; else the warning for the user.
std::string NetSerial::negotiate(long baud, const std::string& name) {
  std::vector<std::uint8_t> out;
  for (const Request& r : REQUESTS) codec_.request(r.local, r.option, out);
  if (!queue_out(out)) return {};
  // A signal (Ctrl-C at start-up) ends the wait: the program is ending, and says nothing of
  // a line it never finished setting up.
  auto ending = [] { return pending_signal() != 0; };
  auto wait_for = [&](auto done) {
    const std::int64_t deadline = std::min(socket_.now_ms() + answer_ms, open_end_ms_);
    while (!done()) {
      const std::int64_t left = deadline - socket_.now_ms();
      if (left <= 0 || ending()) return false;
      socket_.wait_readable(static_cast<int>(left));
      if (pump() < 0) return false;
    }
    return true;
  };
  const std::string refused = "baud rate " + std::to_string(baud) + " refused by " + name;
  if (!wait_for([&] { return settled(); }) && (failed_ || ending())) return {};
  if (codec_.local(COM_PORT) != Codec::Q::Yes)
    return refused + " (the server does not take the COM port option); the line keeps its rate";

  out.clear();
  const auto rate = static_cast<std::uint32_t>(baud);
  const std::uint8_t be[4] = {
      static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
      static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)};
  Codec::com_port(SET_BAUDRATE, be, sizeof be, out);
  for (const Setting& s : LINE_SETTINGS) Codec::com_port(s.code, &s.value, 1, out);
  if (!queue_out(out)) return {};
  // Answers that never come (some servers send none) cost the time limit, nothing more.
  wait_for([&] {
    if (!codec_.answer(SET_BAUDRATE)) return false;
    for (const Setting& s : LINE_SETTINGS)
      if (!codec_.answer(s.code)) return false;
    return true;
  });
  if (failed_ || ending()) return {};
  std::optional<std::uint32_t> set = codec_.answer(SET_BAUDRATE);
  if (!set) return refused + " (no answer from the server); the line may keep its previous rate";
  server_rate_ = static_cast<long>(*set);
  if (*set != rate)
    return refused + " (the server set " + std::to_string(*set) + "); the line runs at that rate";
  return {};
}

void NetSerial::close() {
  drain_before_close();
  socket_.close();
  held_.clear();
  unsent_.clear();
  data_unsent_ = 0;
}

// An ending signal cuts the wait: the program is going, and what the socket took at once
// is all that goes.
void NetSerial::drain_before_close() {
  const std::int64_t end = socket_.now_ms() + CLOSE_DRAIN_MS;
  while (socket_.is_open() && flush_out() && !unsent_.empty() && pending_signal() == 0) {
    const std::int64_t left = end - socket_.now_ms();
    if (left <= 0) return;
    socket_.wait_writable(static_cast<int>(left));
  }
}

long NetSerial::fail(std::string why) {
  if (!failed_) failure_ = std::move(why);
  failed_ = true;
  return -1;
}

bool NetSerial::queue_out(const std::vector<std::uint8_t>& bytes) {
  unsent_.insert(unsent_.end(), bytes.begin(), bytes.end());
  return flush_out();
}

// Whatever waits goes as far as the socket takes it now. A server that sends requests and
// never reads the answers must not grow the queue for as long as it likes.
bool NetSerial::flush_out() {
  if (failed_) return false;
  if (unsent_.empty()) return true;
  const long n = socket_.send_some(unsent_.data(), unsent_.size());
  if (n < 0) {
    fail(socket_.failure());
    return false;
  }
  const auto sent = unsent_.begin() + n;
  const auto data_sent = std::min(n, static_cast<long>(data_unsent_));
  // Escaped data holds IACs only in pairs: an odd count sent leaves a pair half sent.
  if (std::count(unsent_.begin(), unsent_.begin() + data_sent, IAC) % 2 != 0)
    iac_half_sent_ = !iac_half_sent_;
  data_unsent_ -= static_cast<std::size_t>(data_sent);
  unsent_.erase(unsent_.begin(), sent);
  if (unsent_.size() - data_unsent_ <= UNSENT_ROOM) return true;
  fail("the server leaves its telnet answers unread");
  return false;
}

void NetSerial::discard_output() {
  const std::size_t keep = telnet_ && iac_half_sent_ && data_unsent_ > 0 ? 1 : 0;
  unsent_.erase(unsent_.begin() + static_cast<std::ptrdiff_t>(keep),
                unsent_.begin() + static_cast<std::ptrdiff_t>(data_unsent_));
  data_unsent_ = keep;
}

long NetSerial::pump() {
  if (failed_) return -1;
  std::uint8_t buf[4096];
  const long n = socket_.receive(buf, sizeof buf);
  if (n < 0) return fail(socket_.failure());
  if (!telnet_) {
    held_.insert(held_.end(), buf, buf + n);
    return n;
  }
  data_.clear();
  replies_.clear();
  codec_.decode(buf, static_cast<std::size_t>(n), data_, replies_);
  held_.insert(held_.end(), data_.begin(), data_.end());
  return queue_out(replies_) ? n : -1;
}

void NetSerial::take_input() {
  if (!socket_.is_open()) return;
  std::size_t taken = 0;
  while (held_.size() < HOLD_ROOM && taken < RAW_PER_PASS) {
    const long n = pump();
    if (n <= 0) break;
    taken += static_cast<std::size_t>(n);
  }
}

long NetSerial::read(std::uint8_t* buf, std::size_t max) {
  if (held_.empty()) {
    if (!socket_.is_open()) return fail("the device is not open");
    if (pump() < 0) return -1;
  }
  const std::size_t n = std::min(held_.size(), max);
  std::copy_n(held_.begin(), n, buf);
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<long>(n);
}

long NetSerial::write(const std::uint8_t* data, std::size_t n) {
  if (!socket_.is_open()) return fail("the device is not open");
  if (!flush_out()) return -1;
  if (!unsent_.empty()) return 0;
  // Whole source bytes only, so no doubled 0xFF (or CR NUL) is split between calls.
  const std::size_t take = std::min(n, WRITE_CHUNK);
  if (telnet_)
    codec_.encode(data, take, unsent_);
  else
    unsent_.insert(unsent_.end(), data, data + take);
  data_unsent_ = unsent_.size();
  iac_half_sent_ = false;
  return flush_out() ? static_cast<long>(take) : -1;
}

ControlResult NetSerial::set_control(Control c) {
  if (!socket_.is_open() || failed_)
    return control_unsupported(c, failed_ ? failure_ : "the device is not open");
  if (!telnet_)
    return control_unsupported(c, opened_name_ +
                                      " is a raw TCP port: it carries no BREAK or modem "
                                      "lines (rfc2217:// does)");
  if (codec_.local(COM_PORT) != Codec::Q::Yes)
    return control_unsupported(
        c, "the server at " + opened_name_ + " does not take the COM port option");
  for (const ControlValue& v : CONTROL_VALUES) {
    if (v.control != c) continue;
    std::vector<std::uint8_t> out;
    Codec::com_port(SET_CONTROL, &v.value, 1, out);
    if (!queue_out(out)) return control_unsupported(c, failure_);
    return {true, ""};
  }
  return control_unsupported(c, "unknown line");
}

}  // namespace dravel::platform
