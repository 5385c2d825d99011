#include "link/serial_port.h"

#include <cstring>

#include "base/signal_flag.h"
#include "core/console_out.h"
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
  if (n < 0) mark_lost();
  return n > 0 ? static_cast<int>(n) : 0;
}

void SerialPort::write(const std::uint8_t* data, std::size_t n) {
  if (!device_.is_open() || n == 0) return;
  // A write cut short by an ending signal says nothing about the device.
  if (device_.write(data, n) < 0 && pending_signal() == 0) mark_lost();
}

void SerialPort::mark_lost() {
  lost_reason_ = device_.failure();
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
    clear_echoed_line(r);
  }
  return r;
}

void SerialPort::clear_echoed_line(const platform::OpenResult& r) {
  // The board took its own echoed text as typed: a Ctrl-C empties its command line, so the
  // first command is not appended to a stray prompt.
  if (r.echoed) serial_write_byte(*this, BREAK);
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
  link.port.clear_echoed_line(r);
  if (!r.warning.empty()) console_printf(link.console(), "warning: %s\n", r.warning.c_str());
}

void link_open(Link& link, const std::string& name, long baud) {
  serial_open(link, name, baud);
  link.tx.reset();
}

void SerialPort::close() {
  if (device_.is_open()) device_.close();
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
