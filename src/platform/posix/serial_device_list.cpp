#include "platform/posix/serial_device_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace dravel::platform {

namespace fs = std::filesystem;

namespace {

// USB adapters' ttys, which udev names under by-id; ttyS come last, by their own rule.
constexpr const char* USB_TTY_PREFIXES[] = {"ttyUSB", "ttyACM"};
// sysfs's serial core puts its own port devices between the tty and the real driver.
constexpr const char* SERIAL_CORE_BUS = "serial-base";
// How far above a tty's device its USB device may sit (interface, then the device).
constexpr int USB_SEARCH_DEPTH = 4;

std::string first_line(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

// The entries of `dir` whose names begin with `prefix`, sorted; numbered ttys in number order
// (ttyS2 before ttyS10).
std::vector<std::string> names_in(const fs::path& dir, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    if (!prefix.empty() && a.size() != b.size()) return a.size() < b.size();
    return a < b;
  });
  return names;
}

// The driver above the serial core's port devices, and the USB ids and product when the tty
// sits on a USB device: "ftdi_sio, 0403:6001, FT232R USB UART".
std::string adapter_details(const fs::path& sys, const std::string& tty) {
  std::error_code ec;
  fs::path device = fs::canonical(sys / "class/tty" / tty / "device", ec);
  if (ec) return {};
  std::string driver;
  std::string usb;
  fs::path at = device;
  for (int depth = 0; depth <= USB_SEARCH_DEPTH && at.has_relative_path(); ++depth) {
    if (driver.empty()) {
      fs::path link = fs::read_symlink(at / "driver", ec);
      if (!ec && link.parent_path().parent_path().filename() != SERIAL_CORE_BUS)
        driver = link.filename().string();
    }
    if (usb.empty() && fs::exists(at / "idVendor", ec)) {
      usb = first_line(at / "idVendor") + ":" + first_line(at / "idProduct");
      std::string product = first_line(at / "product");
      if (!product.empty()) usb += ", " + product;
    }
    at = at.parent_path();
  }
  std::string details = driver;
  if (!usb.empty()) details += (details.empty() ? "" : ", ") + usb;
  return details;
}

std::string with_details(std::string line, const std::string& details) {
  if (!details.empty()) line += " (" + details + ")";
  return line;
}

// A ttyS with no UART behind it reads type 0 (PORT_UNKNOWN): the kernel's placeholders.
bool has_uart(const fs::path& sys, const std::string& tty) {
  return std::strtol(first_line(sys / "class/tty" / tty / "type").c_str(), nullptr, 10) != 0;
}

std::string uart_details(const fs::path& sys, const std::string& tty) {
  std::string details = adapter_details(sys, tty);
  std::string port = first_line(sys / "class/tty" / tty / "port");
  if (!port.empty() && port.find_first_not_of("0x") != std::string::npos)
    details += (details.empty() ? "port " : ", port ") + port;
  return details;
}

}  // namespace

std::vector<std::string> list_serial_devices(const std::string& root) {
  const fs::path dev = fs::path(root + "/dev");
  const fs::path sys = fs::path(root + "/sys");
  std::vector<std::string> lines;
  std::set<std::string> named;  // ttys a by-id name already reached

  std::error_code ec;
  const fs::path by_id = dev / "serial/by-id";
  for (const std::string& name : names_in(by_id, "")) {
    fs::path link = fs::read_symlink(by_id / name, ec);
    if (ec) continue;
    std::string tty = link.filename().string();
    named.insert(tty);
    lines.push_back(
        with_details("/dev/serial/by-id/" + name + " -> /dev/" + tty, adapter_details(sys, tty)));
  }
  for (const char* prefix : USB_TTY_PREFIXES) {
    for (const std::string& tty : names_in(dev, prefix)) {
      if (named.count(tty) == 0)
        lines.push_back(with_details("/dev/" + tty, adapter_details(sys, tty)));
    }
  }
  for (const std::string& tty : names_in(sys / "class/tty", "ttyS")) {
    if (has_uart(sys, tty)) lines.push_back(with_details("/dev/" + tty, uart_details(sys, tty)));
  }
  return lines;
}

}  // namespace dravel::platform
