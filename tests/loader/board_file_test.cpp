// Files the board asks for by name: only regular files inside the load directory go out.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>

#include "loader/board_file_name.h"
#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

constexpr const char* RECORDS = "S00600004844521B\nS9030000FC\n";

struct BoardFile : ::testing::Test {
  SrecMonitor monitor;
  Rig rig{monitor.peer};
  TempDir dir;
  std::string inside = dir.file("in");

  void SetUp() override {
    std::filesystem::create_directory(inside);
    rig.s().options.load_dir = inside;
    rig.open_port();
  }
  // The board answers 'F' with `name`; the wire and the screen afterwards.
  std::pair<std::string, std::string> ask(const std::string& name) {
    rig.serial.wire_out.clear();
    monitor.peer.received.clear();
    rig.console.take_screen();
    auto acker = monitor.peer.on_write;
    monitor.peer.on_write = [=](ScriptedPeer& p, const std::uint8_t* d, std::size_t n) {
      if (n == 1 && d[0] == 'F' && p.received == "F") p.say(name + "\r");
      acker(p, d, n);
    };
    rig.shown(load_request_callback(rig.s().link, rig.s().history, rig.s().options.load_dir, 1));
    monitor.peer.on_write = acker;
    drain(rig.s());
    return {rig.serial.wire_out, rig.console.take_screen()};
  }
};

#if !defined(_WIN32)
TEST_F(BoardFile, OnlyRegularFilesInsideTheLoadDirectoryGoOut) {
  dir.write("secret.mot", "S1030000FC\n");
  dir.write("in/good.mot", RECORDS);
  dir.write("in/bad.mot", "S00600004844521B\nsecret words\n");
  std::filesystem::create_directory(inside + "/sub");
  ASSERT_EQ(::mkfifo((inside + "/fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("../secret.mot", inside + "/out.mot");
  std::filesystem::create_symlink("good.mot", inside + "/link.mot");
  struct Case {
    std::string name;
    const char* refusal;  // part of the reason line; nullptr: sent; "" not found, no reason
  };
  const Case cases[] = {
      {"good.mot", nullptr},
      {"link.mot", nullptr},
      {"./sub/../good.mot", "climbs out"},
      {dir.file("secret.mot"), "an absolute path"},
      {"../secret.mot", "climbs out"},
      {"..\\secret.mot", "climbs out"},
      {"C:secret.mot", "drive"},
      {"\\\\host\\share\\x.mot", "network share"},
      {"NUL.mot", "device"},
      {"out.mot", "leads out of"},
      {"fifo", "not a regular file"},
      {"sub", "not a regular file"},
      {"missing.mot", ""},
  };
  for (const Case& c : cases) {
    auto [wire, screen] = ask(c.name);
    if (c.refusal == nullptr) {
      EXPECT_EQ(wire, std::string("FG\n") + RECORDS) << c.name;
      continue;
    }
    EXPECT_EQ(wire, "F\x03") << c.name;
    std::string missing = " \"" + c.name + "\" not found\a\n\r";
    EXPECT_EQ(screen.substr(0, missing.size()), missing) << c.name;
    if (*c.refusal == '\0')
      EXPECT_EQ(screen, missing);
    else
      EXPECT_NE(
          screen.find(std::string("refused: ") + "the board may ask only for a file in " + inside),
          std::string::npos)
          << screen;
    EXPECT_NE(screen.find(c.refusal), std::string::npos) << c.name << ": " << screen;
  }
  // A record file with a line that is not a record: refused before a byte of it goes.
  auto [wire, screen] = ask("bad.mot");
  EXPECT_EQ(wire, "F\x03");
  EXPECT_NE(screen.find("is not S-format file\n\r line 2 "), std::string::npos) << screen;
}
#endif

TEST(BoardFileName, RefusesWhatLeavesTheDirectory) {
  const std::pair<const char*, bool> names[] = {
      {"a.mot", true},         {"sub/a.mot", true}, {"sub\\a.mot", true},  {"..a.mot", true},
      {"a..mot", true},        {"COM10", true},     {"console.mot", true}, {"", false},
      {"/etc/x", false},       {"\\x", false},      {"//h/s", false},      {"a/..", false},
      {"a\\..\\..\\b", false}, {"c:x", false},      {"a:stream", false},   {"com1.txt", false},
      {"lpt9", false},         {"aux", false},      {"a\nb", false},
  };
  for (auto [name, fine] : names) EXPECT_EQ(board_file_name_refusal(name) == nullptr, fine) << name;
}

}  // namespace
}  // namespace dravel::test
