// dravel on a board on another machine: krvbsim's pty exported by a real ser2net on loopback,
// dravel connected by rfc2217:// or socket://. The connector starts at 9600 7E1, so only what
// dravel sets makes the line right.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "e2e/pty_harness.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

const std::string F2 = "\x1b[12~", F4 = "\x1b[14~", F9 = "\x1b[20~", F10 = "\x1b[21~";
constexpr std::uint32_t PROGRAM = 0x80010000, EXE = 0x80030000, DATA = 0x80050000;

// A loopback port nobody listens on now.
int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// The inode of the socket listening on the loopback port, or "" when none does.
std::string listener_inode(int port) {
  char want[16];
  std::snprintf(want, sizeof want, ":%04X", port);
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
      if (f.size() > 9 && f[1].ends_with(want) && f[3] == "0A") return f[9];
    }
  }
  return "";
}

// True when process `pid` holds the socket listening on `port`: the port is its, not another
// program's that took the free port first.
bool listens_on(pid_t pid, int port) {
  const std::string inode = listener_inode(port);
  if (inode.empty()) return false;
  std::error_code ec;
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
    if (std::filesystem::read_symlink(fd.path(), ec) == "socket:[" + inode + "]") return true;
  return false;
}

bool ser2net_installed() {
  if (::access("/usr/sbin/ser2net", X_OK) == 0) return true;
  std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
  for (std::string dir; std::getline(path, dir, ':');)
    if (!dir.empty() && ::access((dir + "/ser2net").c_str(), X_OK) == 0) return true;
  return false;
}

class Ser2netE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ser2net_installed())
      GTEST_SKIP() << "ser2net is not installed (tools/install-prereqs.sh test installs it)";
  }
  // krvbsim serving a pty of its own.
  void serve(const std::vector<std::string>& options) {
    sim = std::make_unique<PtyProcess>(KRVBSIM_BIN, options);
    device = served_path(*sim);
    ASSERT_NE(device, "");
  }
  // ser2net exporting krvbsim's pty on `port`, started as the ser2net helper script does.
  void export_device(const std::string& mode) {
    ser2net = std::make_unique<PtyProcess>(
        SER2NET_EXPORT, std::vector<std::string>{device, std::to_string(port), mode, dir.path()});
    ASSERT_TRUE(ser2net->wait_for("ser2net pid ")) << ser2net->output();
    ASSERT_TRUE(ser2net->wait_for("\n"));
    const std::string out = ser2net->output();
    const pid_t pid = std::stoi(out.substr(out.find("ser2net pid ") + 12));
    ASSERT_EQ(pid, ser2net->pid());  // the script becomes ser2net
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!listens_on(pid, port) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(listens_on(pid, port)) << ser2net->output();
  }
  std::unique_ptr<PtyProcess> dravel(const std::string& mode) {
    url = mode + "://127.0.0.1:" + std::to_string(port);
    auto p = std::make_unique<PtyProcess>(
        DRAVEL_BIN,
        std::vector<std::string>{"-B115200", "-d", url, "--load-dir",
                                 std::string(DRAVEL_FIXTURES) + "/loader"},
        std::vector<std::string>{"DRAVELHIS=" + dir.file("his")});
    EXPECT_TRUE(p->wait_for(" PORT = " + url + "\r\n"));
    EXPECT_TRUE(p->wait_for(">> ", Seconds(15)));
    return p;
  }
  void dload(PtyProcess& p, const std::string& file, std::uint32_t at, const std::string& end) {
    p.clear_output();
    char address[16];
    std::snprintf(address, sizeof address, "%x", at);
    p.type(F9 + F4);
    ASSERT_TRUE(p.wait_for("Dload"));
    p.type(file + " " + address + "\r");
    ASSERT_TRUE(p.wait_for(end, Seconds(30))) << p.output();
    p.type("\r");
    ASSERT_TRUE(p.wait_for_after(end, ">> ", Seconds(15)));
  }
  void dsave(PtyProcess& p, const std::string& file, std::uint32_t at, std::size_t size) {
    p.clear_output();
    char args[64];
    std::snprintf(args, sizeof args, " %x %zx\r", at, size);
    p.type(F10 + F4);
    ASSERT_TRUE(p.wait_for("Dsave"));
    p.type(file + args);
    ASSERT_TRUE(p.wait_for("(sec)", Seconds(30))) << p.output();
  }
  // dravel quits, then krvbsim writes its dumps.
  void finish(PtyProcess& p) {
    p.type(F10 + F2);
    EXPECT_EQ(p.wait_exit(Seconds(15)), 0);
    sim->send_signal(SIGTERM);
    sim->wait_exit();
  }

  test::TempDir dir;
  int port = free_port();
  std::string device, url;
  std::unique_ptr<PtyProcess> sim, ser2net;
  const std::string ones = std::string(0x3000, '\xff');
};

TEST_F(Ser2netE2E, Rfc2217SetsTheLineAndEveryTransferComesThroughWhole) {
  std::string image(0x2000, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 256);
  test::ExeLayout layout;
  layout.image = image;
  layout.address = layout.pc = EXE;
  std::string exe = dir.write("p.exe", test::make_exe(layout));
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  char dumps[3][64];
  std::snprintf(dumps[0], sizeof dumps[0], "%x:400:", PROGRAM);
  std::snprintf(dumps[1], sizeof dumps[1], "%x:2000:", EXE);
  std::snprintf(dumps[2], sizeof dumps[2], "%x:3000:", DATA);
  serve({"--nak-packet", "2", "--dump", dumps[0] + dir.file("mot.mem"), "--dump",
         dumps[1] + dir.file("exe.mem"), "--dump", dumps[2] + dir.file("ones.mem")});
  export_device("rfc2217");
  auto p = dravel("rfc2217");

  // The line is as dravel asked, not as the connector started it.
  int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));

  p->type("reg\r");
  ASSERT_TRUE(p->wait_for("epc="));
  // 0xFF both ways, through the IAC doubling, and the packet the monitor NAKs sent again.
  dload(*p, dir.write("ones.bin", ones), DATA, "003000:");
  dsave(*p, dir.file("out.bin"), DATA, ones.size());
  p->clear_output();
  p->type(F4);
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(exe + "\r");
  ASSERT_TRUE(p->wait_for_after("PC=", ">> ", Seconds(30))) << p->output();
  p->clear_output();
  p->type("fload hello.mot\r");
  ASSERT_TRUE(p->wait_for("\"hello.mot\" send ", Seconds(30))) << p->output();
  ASSERT_TRUE(p->wait_for_after("send ", ">> ", Seconds(30))) << p->output();
  finish(*p);

  EXPECT_TRUE(test::TempDir::read(dir.file("ones.mem")) == ones);
  EXPECT_TRUE(test::TempDir::read(dir.file("out.bin")) == ones);
  EXPECT_TRUE(test::TempDir::read(dir.file("exe.mem")) == image);
  std::string memory = test::TempDir::read(dir.file("mot.mem"));
  ASSERT_EQ(memory.size(), 0x400u);
  for (auto [address, byte] : test::srec_image(test::TempDir::read(mot)))
    ASSERT_EQ(static_cast<std::uint8_t>(memory[address - PROGRAM]), byte) << std::hex << address;
}

TEST_F(Ser2netE2E, RawSocketWarnsAboutTheRateAndCarriesBytesAsTheyAre) {
  char dump[64];
  std::snprintf(dump, sizeof dump, "%x:3000:", DATA);
  serve({"--dump", dump + dir.file("ones.mem")});
  export_device("socket");
  url = "socket://127.0.0.1:" + std::to_string(port);
  auto p = dravel("socket");
  EXPECT_EQ(p->output().find("warning: baud rate 115200 cannot be set over " + url),
            p->output().rfind("warning: baud rate"));
  EXPECT_NE(p->output().find("warning: baud rate 115200 cannot be set over " + url),
            std::string::npos);
  dload(*p, dir.write("ones.bin", ones), DATA, "003000:");
  dsave(*p, dir.file("out.bin"), DATA, ones.size());
  finish(*p);
  EXPECT_TRUE(test::TempDir::read(dir.file("ones.mem")) == ones);
  EXPECT_TRUE(test::TempDir::read(dir.file("out.bin")) == ones);
}

// The board outlives the server: its monitor is still in the cut transfer when the line comes
// back, and dravel brings it out, so the next load is taken as a load, not as commands.
TEST_F(Ser2netE2E, ServerKilledMidLoadIsALostDeviceAndItsReturnIsBack) {
  char dump[64];
  std::snprintf(dump, sizeof dump, "%x:800:", DATA);
  serve({"--baud", "115200", "--pace-host", "--dump", dump + dir.file("small.mem")});
  export_device("rfc2217");
  auto p = dravel("rfc2217");
  std::string big = dir.write("big.bin", std::string(0x10000, 'b'));
  p->type(F9 + F4);
  ASSERT_TRUE(p->wait_for("Dload"));
  p->type(big + " " + "80050000\r");
  ASSERT_TRUE(p->wait_for("size:"));
  ASSERT_TRUE(p->wait_for("004000:", Seconds(15))) << p->output();  // a chunk is across
  ser2net->send_signal(SIGKILL);
  ser2net->wait_exit();
  ASSERT_TRUE(p->wait_for("serial device lost: ", Seconds(3))) << p->output();
  ASSERT_TRUE(p->wait_for("stopped: the serial device is gone", Seconds(3))) << p->output();

  p->clear_output();
  export_device("rfc2217");
  ASSERT_TRUE(p->wait_for("serial device back: " + url + "\r\n", Seconds(10))) << p->output();
  ASSERT_TRUE(p->wait_for("^C", Seconds(10))) << p->output();
  p->type("\r");
  ASSERT_TRUE(p->wait_for(">> ", Seconds(10)));
  std::string small(0x800, '\0');
  for (std::size_t i = 0; i < small.size(); ++i) small[i] = static_cast<char>('a' + i % 26);
  dload(*p, dir.write("small.bin", small), DATA, "000800:");
  EXPECT_EQ(p->output().find("unknown command"), std::string::npos) << p->output();
  finish(*p);
  EXPECT_TRUE(test::TempDir::read(dir.file("small.mem")) == small);
}

// A real ser2net takes SET-CONTROL for its pty (which has no such lines) without a word and
// goes on serving: the pulses and the BREAK pass, and the board still answers after them.
TEST_F(Ser2netE2E, BreakAndModemLinesReachTheServerAndTheSessionGoesOn) {
  serve({});
  export_device("rfc2217");
  url = "rfc2217://127.0.0.1:" + std::to_string(port);
  const std::string script =
      dir.write("lines.scr",
                "local dtr pulse 100\nlocal break 100\nlocal rts off\nlocal rts on\nlocal dtr off\n"
                "local echo lines set\n");
  auto p = std::make_unique<PtyProcess>(DRAVEL_BIN,
                                        std::vector<std::string>{"-B115200", "-d", url, script},
                                        std::vector<std::string>{"DRAVELHIS=" + dir.file("his")});
  ASSERT_TRUE(p->wait_for("lines set", Seconds(15))) << p->output();
  EXPECT_EQ(p->output().find("cannot set"), std::string::npos) << p->output();
  p->type("reg\r");
  ASSERT_TRUE(p->wait_for("epc=")) << p->output();
  finish(*p);
}
// The CI job of a board that resets on DTR: a named board on rfc2217:// pulses DTR, sends a
// BREAK, expects the banner and ends 0 with a JUnit report that says so.
TEST_F(Ser2netE2E, ABatchJobPulsesDtrExpectsTheBannerAndReportsIt) {
  serve({});
  export_device("rfc2217");
  const std::string conf =
      dir.write("boards.conf", "[lab7]\ndevice = rfc2217://127.0.0.1:" + std::to_string(port) +
                                   "\nbaud = 115200\n");
  const std::string script = dir.write(
      "reset.scr", "local dtr pulse 100\nlocal break\nlocal expect KRVB7100\nlocal exit 0\n");
  const std::string report = dir.file("reset.xml");
  PtyProcess p(DRAVEL_BIN, {"--config", conf, "-b", "lab7", "--batch", "--junit", report, script},
               {"DRAVELHIS=" + dir.file("his")});
  EXPECT_EQ(p.wait_exit(Seconds(20)), 0) << p.output();
  const std::string xml = test::TempDir::read(report);
  EXPECT_NE(xml.find("name=\"KRVB7100\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("<failure"), std::string::npos) << xml;
}
}  // namespace
}  // namespace dravel::e2e
