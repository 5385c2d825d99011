// --list on a made-up /dev and /sys: what udev and sysfs show for a USB adapter, a CDC modem,
// real UARTs and the kernel's placeholder ttyS.
#include "platform/posix/serial_device_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/posix_files.h"
#include "support/rig.h"
#include "terminal/startup.h"

namespace dravel::test {
namespace {

namespace fs = std::filesystem;

struct Tree {
  TempDir dir;
  fs::path root{dir.path()};

  void file(const std::string& path, const std::string& text) {
    fs::create_directories((root / path).parent_path());
    dir.write(path, text + "\n");
  }
  void link(const std::string& path, const std::string& target) {
    fs::create_directories((root / path).parent_path());
    fs::create_symlink(target, root / path);
  }
  // A tty in /sys/class/tty whose device sits at `device` under /sys/devices.
  void tty(const std::string& name, const std::string& device) {
    fs::create_directories(root / "sys/devices" / device);
    link("sys/class/tty/" + name + "/device", "../../../devices/" + device);
  }
  void driver(const std::string& device, const std::string& bus, const std::string& name) {
    fs::create_directories(root / "sys/bus" / bus / "drivers" / name);
    std::string up;
    for (char c : "devices/" + device)
      if (c == '/') up += "../";
    link("sys/devices/" + device + "/driver", up + "../bus/" + bus + "/drivers/" + name);
  }
  void usb(const std::string& device, const std::string& ids, const std::string& product) {
    file("sys/devices/" + device + "/idVendor", ids.substr(0, 4));
    file("sys/devices/" + device + "/idProduct", ids.substr(5));
    if (!product.empty()) file("sys/devices/" + device + "/product", product);
  }
  void uart(const std::string& name, const std::string& device, const std::string& type,
            const std::string& port) {
    tty(name, device);
    file("sys/class/tty/" + name + "/type", type);
    file("sys/class/tty/" + name + "/port", port);
  }
};

TEST(SerialDeviceList, NamesAdaptersThenUsbTtysThenRealUarts) {
  Tree t;
  const std::string ftdi = "pci0000:00/usb1/1-1";
  t.usb(ftdi, "0403:6001", "FT232R USB UART");
  t.tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0");
  t.driver(ftdi + "/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
  t.file("dev/ttyUSB0", "");
  t.link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");

  const std::string uno = "pci0000:00/usb2/2-1";  // no by-id name: udev is not running
  t.usb(uno, "2341:0043", "");
  t.tty("ttyACM0", uno + "/2-1:1.0");
  t.driver(uno + "/2-1:1.0", "usb", "cdc_acm");
  t.file("dev/ttyACM0", "");

  // The serial core's port devices sit between the tty and the driver that found the UART.
  const std::string pnp = "pnp0/00:00";
  t.uart("ttyS0", pnp + "/00:00:0/00:00:0.0", "4", "0x3F8");
  t.driver(pnp, "pnp", "serial");
  t.driver(pnp + "/00:00:0", "serial-base", "ctrl");
  t.driver(pnp + "/00:00:0/00:00:0.0", "serial-base", "port");
  t.uart("ttyS1", "platform/serial8250/serial8250:0/serial8250:0.1", "0", "0x2F8");
  t.uart("ttyS10", "platform/serial8250/serial8250:0/serial8250:0.10", "4", "0x0000");
  t.uart("ttyS2", "platform/serial8250/serial8250:0/serial8250:0.2", "4", "0x3E8");

  EXPECT_EQ(platform::PosixFiles(t.dir.path()).serial_devices(),
            (std::vector<std::string>{
                "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 -> "
                "/dev/ttyUSB0 (ftdi_sio, 0403:6001, FT232R USB UART)",
                "/dev/ttyACM0 (cdc_acm, 2341:0043)",
                "/dev/ttyS0 (serial, port 0x3F8)",
                "/dev/ttyS2 (port 0x3E8)",
                "/dev/ttyS10",
            }));
}

TEST(SerialDeviceList, NoneOnAnEmptyOrBrokenTree) {
  Tree t;
  EXPECT_TRUE(platform::list_serial_devices(t.dir.path()).empty());
  // A dangling by-id link and a UART with no device link still list, without details; a type
  // that is no number is no UART.
  t.link("dev/serial/by-id/usb-gone", "../../ttyUSB7");
  t.file("sys/class/tty/ttyS0/type", "4");
  t.file("sys/class/tty/ttyS1/type", "garbage");
  EXPECT_EQ(platform::list_serial_devices(t.dir.path()),
            (std::vector<std::string>{"/dev/serial/by-id/usb-gone -> /dev/ttyUSB7", "/dev/ttyS0"}));
}

// The listing comes through the files seam: dravel --list prints it and exits 0.
class ListedFiles : public RealFiles {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> serial_devices() override { return lines; }
};

TEST(SerialDeviceList, ListOptionPrintsTheLinesOrSaysThereAreNone) {
  for (const char* option : {"--list", "-l"}) {
    Rig none;
    EXPECT_EQ(none.run({option}), 0);
    EXPECT_EQ(none.console.screen, "no serial devices found\n");
  }
  Rig r;
  ListedFiles files;
  files.lines = {"/dev/ttyS0 (serial, port 0x3F8)", "/dev/ttyUSB0"};
  platform::Platform io{r.serial, r.console, r.clock, r.shell, files, r.idle};
  State s(io);
  EXPECT_EQ(
      run_program(s, {"-B9600", "--list"}, [](const char*) -> const char* { return nullptr; }), 0);
  EXPECT_EQ(r.console.screen, "/dev/ttyS0 (serial, port 0x3F8)\n/dev/ttyUSB0\n");
}

}  // namespace
}  // namespace dravel::test
