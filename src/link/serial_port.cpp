#include "link/serial_port.h"

#include <cstring>

#include "base/signal_flag.h"
#include "core/console_out.h"
#include "core/core.h"
#include "core/exits.h"
#include "core/waits.h"
#include "link/link.h"
#include "link/monitor_bytes.h"

namespace dravel {

void SerialPort::unread(const std::uint8_t* data, std::size_t n) {
  unread_.insert(unread_.begin(), data, data + n);
}

int SerialPort::read(std::uint8_t* buf, int max) {
  if (max <= 0) return 0;
  if (!unread_.empty()) {
    int n = 0;
    while (n < max && !unread_.empty()) {
      buf[n++] = unread_.front();
      unread_.pop_front();
    }
    return n;
  }
  if (!device_.is_open()) return 0;
  long n = device_.read(buf, static_cast<std::size_t>(max));
  if (n < 0) mark_lost(device_.failure());
  return n > 0 ? static_cast<int>(n) : 0;
}

std::size_t SerialPort::write_some(const std::uint8_t* data, std::size_t n) {
  if (!device_.is_open()) return n;
  const long took = device_.write(data, n);
  if (took >= 0) return static_cast<std::size_t>(took);
  // A write cut short by an ending signal says nothing about the device.
  if (pending_signal() == 0) mark_lost(device_.failure());
  return n;
}

// Like picocom's output queue: what the driver takes goes, and the rest waits for room in
// the one idle wait, where keys, signals and the run's time limit are seen as anywhere else.
bool SerialPort::write(const std::uint8_t* data, std::size_t n) {
  platform::Clock& clock = core_.io.clock;
  std::int64_t last_progress = clock.milliseconds();
  std::size_t done = 0;
  while (done < n) {
    const bool was_open = device_.is_open();
    const std::size_t took = write_some(data + done, n - done);
    if (!was_open || lost_) return false;
    if (took > 0) {
      done += took;
      last_progress = clock.milliseconds();
      continue;
    }
    if (clock.milliseconds() - last_progress >= STALL_LIMIT_MS) {
      mark_lost("output no longer drains (the far end takes nothing)");
      return false;
    }
    idle_wait_for_room(core_, true, last_progress + STALL_LIMIT_MS);
    take_waiting_keys(core_);
    if (core_.abort_flag) {
      write_cut_ = true;
      return false;
    }
  }
  return true;
}

void SerialPort::mark_lost(std::string reason) {
  lost_reason_ = std::move(reason);
  // Closed, so nothing waits on the dead line and the name is free to come back.
  device_.close();
  lost_ = true;
  loss_reported = false;
}

platform::OpenResult SerialPort::reopen() {
  platform::OpenResult r = device_.open(name_, baud_);
  if (r.ok) {
    lost_ = false;
    lost_reason_.clear();
    unread_.clear();
  }
  return r;
}

void SerialPort::clear_echoed_line(const platform::OpenResult& r) {
  // The board took its own echoed text as typed: a Ctrl-C empties its command line, so the
  // first command is not appended to a stray prompt.
  if (r.echoed) serial_write_byte(*this, BREAK);
}

void say_open_warning(Link& link, const platform::OpenResult& r) {
  if (r.warning.empty()) return;
  if (r.rate_refused && link.core.no_keyboard) {
    console_printf(link.console(), "dravel: %s; a batch run ends before sending anything\n",
                   r.warning.c_str());
    end_run(link.core, 1);
  }
  console_printf(link.console(), "warning: %s\n", r.warning.c_str());
}

void serial_open(Link& link, const std::string& name, long baud) {
  link.port.set_name(name);
  platform::OpenResult r = link.port.device().open(name, baud);
  if (!r.ok) {
    // Names the device actually tried and why, where the old text always said "coM2".
    console_printf(link.console(), "cannot open %s: %s\n", name.c_str(), r.error.c_str());
    return;
  }
  link.port.opened(baud);
  say_open_warning(link, r);
  link.port.clear_echoed_line(r);
}

void link_open(Link& link, const std::string& name, long baud) {
  serial_open(link, name, baud);
  link.tx.reset();
}

void SerialPort::close(bool discard) {
  if (!device_.is_open()) return;
  if (discard) device_.discard_output();
  device_.close();
}

int serial_write_byte(SerialPort& port, std::uint8_t byte) {
  port.write(&byte, 1);
  return 0;
}

void serial_write_string(SerialPort& port, const char* text) {
  port.write(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

int serial_read(SerialPort& port, std::uint8_t* buf, int max) {
  return port.read(buf, max);
}

}  // namespace dravel
