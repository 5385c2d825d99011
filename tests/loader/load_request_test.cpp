#include <gtest/gtest.h>

#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"
#include "terminal/program_watchers.h"
#include "watch/watchers.h"

namespace dravel::test {
namespace {

struct LoadRequestRig {
  SrecMonitor monitor;
  Rig rig{monitor.peer};
  TempDir dir;

  LoadRequestRig() { rig.open_port(); }
  // The monitor answers the host's 'F' with `name`.
  void answer_f_with(const std::string& name) {
    auto acker = monitor.peer.on_write;
    monitor.peer.on_write = [=](ScriptedPeer& p, const std::uint8_t* d, std::size_t n) {
      if (n == 1 && d[0] == 'F' && p.received == "F") p.say(name);
      acker(p, d, n);
    };
  }
};
struct LoadRequest : ::testing::Test, LoadRequestRig {};

TEST_F(LoadRequest, MonitorNamesTheFileAfterF) {
  std::string f = "my.mot";
  dir.write(f, "S1030000FC\r\nS1030001FB\r\n");
  rig.s().options.load_dir = dir.path();
  answer_f_with(" " + f + "\r");
  EXPECT_EQ(
      rig.shown(load_request_callback(rig.s().link, rig.s().history, rig.s().options.load_dir, 1)),
      Outcome::Done);
  EXPECT_EQ(rig.serial.wire_out,
            "FG\nS1030000FC\nS1030001FB\n");  // no "ld2\r": the monitor is receiving
  EXPECT_NE(rig.console.screen.find("2 lines,  0 sec.\n\r\"" + f + "\" send "), std::string::npos);
}

TEST_F(LoadRequest, MonitorNameIsNotSplitOrCheckedForOptions) {
  answer_f_with("-s a b\r");
  EXPECT_EQ(
      rig.shown(load_request_callback(rig.s().link, rig.s().history, rig.s().options.load_dir, 1)),
      Outcome::Failed);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "F\x03");
  EXPECT_EQ(rig.console.screen, " \"-s a b\" not found\a\n\r");
}

// Each answer on a fresh line and rig: what one case leaves unread cannot answer the next.
TEST(LoadRequestName, EmptyOrTooLongNameCancelsWithBreak) {
  struct Case {
    std::string name;
    std::string screen;
  };
  const std::string longest(MONITOR_NAME_LIMIT, 'n');
  const Case cases[] = {
      {"\r", ""},
      // 255 characters and the CR are a name; a 256th character is one too many.
      {longest + "\r", " \"" + longest + "\" not found\a\n\r"},
      {longest + "n\r", "\n\rfile name from the monitor longer than 255 bytes\a\n\r"},
  };
  for (const Case& c : cases) {
    LoadRequestRig t;
    t.answer_f_with(c.name);
    EXPECT_EQ(t.rig.shown(load_request_callback(t.rig.s().link, t.rig.s().history,
                                                t.rig.s().options.load_dir, 1)),
              Outcome::Failed);
    drain(t.rig.s());
    EXPECT_EQ(t.rig.serial.wire_out, "F\x03");
    EXPECT_EQ(t.rig.console.screen, c.screen) << c.name.size();
  }
}

TEST_F(LoadRequest, UserNamesTheFileAtThePrompt) {
  std::string f = dir.write("a.mot", "S1030000FC\n");
  std::string log = dir.file("op.log");
  ASSERT_TRUE(rig.s().log_file.open(log.c_str(), "w"));
  rig.console.type(f + "\r");
  EXPECT_EQ(
      rig.shown(load_request_callback(rig.s().link, rig.s().history, rig.s().options.load_dir, 0)),
      Outcome::Done);
  EXPECT_EQ(rig.serial.wire_out, "G\nS1030000FC\n");
  EXPECT_NE(rig.console.screen.find("\x1b[32mLoad"), std::string::npos);
  rig.s().log_file.close();
  EXPECT_EQ(TempDir::read(log), "");  // nothing logged for a monitor's request

  rig.console.type("\r");
  EXPECT_EQ(
      rig.shown(load_request_callback(rig.s().link, rig.s().history, rig.s().options.load_dir, 0)),
      Outcome::Failed);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "G\nS1030000FC\n\x03");
}

// The monitor's own requests, announced to the running terminal loop.
struct RequestFromMonitor : ::testing::Test {
  SimPeer sim;
  Rig rig{sim};
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";

  void SetUp() override {
    rig.open_port();
    register_program_watchers(rig.s());
    sim.monitor.start();
  }
  bool loaded(const std::string& shown) {
    return rig.console.screen.find("\"" + shown + "\" send ") != std::string::npos &&
           sim.monitor.mode() == sim::Mode::command;
  }
  void expect_program_loaded(const std::string& shown) {
    ASSERT_TRUE(rig.pass_until([&] { return loaded(shown); }));
    for (auto [address, byte] : srec_image(TempDir::read(mot)))
      ASSERT_EQ(sim.monitor.memory().read_byte(address), byte);
    EXPECT_NE(sim.monitor.registers().get("epc"), 0u);
    EXPECT_EQ(sim.monitor.srec().errors(), 0);
  }
};

TEST_F(RequestFromMonitor, FileRequestTakesTheMonitorsName) {
  rig.s().options.load_dir = std::string(DRAVEL_FIXTURES) + "/loader";
  rig.console.type("fload hello.mot\r");
  expect_program_loaded("hello.mot");
  EXPECT_NE(rig.serial.wire_out.find("\rFG\nS0"), std::string::npos);
}

TEST_F(RequestFromMonitor, DataRequestAsksTheUser) {
  rig.console.type("lreq\r");
  rig.console.when_screen("Load", mot + "\r");
  expect_program_loaded(mot);
  EXPECT_NE(rig.serial.wire_out.find("lreq\rG\nS0"), std::string::npos);
}

}  // namespace
}  // namespace dravel::test
