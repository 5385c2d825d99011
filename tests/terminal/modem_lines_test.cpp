// BREAK and the modem lines from scripts, on the manual clock: each line set and put back at
// its time while the loop goes on showing the board's text, the script's next line only after
// it, and one clear message where a device has no such lines.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/serial_device.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

using platform::Control;
using Timed = std::pair<Control, std::int64_t>;  // the setting, ms after the first one

struct ModemLinesTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  std::vector<Timed> seen;
  std::int64_t first = -1;
  // Screen text shown when each setting was made.
  std::vector<std::string> screen_then;

  void SetUp() override {
    rig.serial.has_lines = true;
    rig.serial.on_control = [this](Control c) {
      if (first < 0) first = rig.clock.ms;
      seen.push_back({c, rig.clock.ms - first});
      screen_then.push_back(rig.console.screen);
    };
  }
  int batch(const std::string& script, std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--batch", rig.home.write("t.scr", script)});
    return rig.run(options);
  }
};

TEST_F(ModemLinesTest, ATimedLineGoesBackAtItsTimeAndTheNextLineWaitsForIt) {
  struct Case {
    const char* script;
    std::vector<Timed> want;
  };
  const Case cases[] = {
      {"local break\nlocal rts on\n",
       {{Control::BreakOn, 0}, {Control::BreakOff, 250}, {Control::RtsOn, 250}}},
      {"local break 40\nlocal rts off\n",
       {{Control::BreakOn, 0}, {Control::BreakOff, 40}, {Control::RtsOff, 40}}},
      // A pulse turns the line the other way from how it was last set (on after an open).
      {"local dtr pulse 100\nlocal rts on\n",
       {{Control::DtrOff, 0}, {Control::DtrOn, 100}, {Control::RtsOn, 100}}},
      {"local dtr off\nlocal dtr pulse 150\nlocal sleep 0\n",
       {{Control::DtrOff, 0}, {Control::DtrOn, 0}, {Control::DtrOff, 150}}},
      {"local RTS pulse 7\nlocal dtr on\n",
       {{Control::RtsOff, 0}, {Control::RtsOn, 7}, {Control::DtrOn, 7}}},
      // A script that ends in a pulse runs it to its end before the run ends.
      {"local dtr pulse 300\n", {{Control::DtrOff, 0}, {Control::DtrOn, 300}}},
  };
  for (const Case& c : cases) {
    seen.clear();
    first = -1;
    rig.state = std::make_unique<State>(rig.io);
    rig.state->history_path = rig.history_file();
    EXPECT_EQ(batch(c.script), 0) << c.script << rig.console.take_screen();
    EXPECT_EQ(seen, c.want) << c.script;
  }
}

TEST_F(ModemLinesTest, TheBoardsTextShowsWhileAPulseLasts) {
  rig.idle.on_wait = [&] {
    if (first >= 0 && rig.clock.ms - first >= 50 && peer.outgoing.empty() && seen.size() == 1)
      peer.say("reset...\r\nKRVB7100 monitor\r\n");
  };
  const int idle_before = rig.idle.calls;
  EXPECT_EQ(batch("local dtr pulse 1000\nlocal expect KRVB7100\n"), 0) << rig.console.screen;
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (Timed{Control::DtrOn, 1000}));
  // Shown before the line went back: the loop ran on, and the expect after the pulse still
  // counts text that came during it.
  EXPECT_NE(screen_then[1].find("KRVB7100 monitor"), std::string::npos) << screen_then[1];
  // Woken by the pulse's deadline, not by spinning: about one wait a FakeIdle step.
  EXPECT_LT(rig.idle.calls - idle_before, 25);
}

// A run that ends mid-BREAK (here its time limit) turns the BREAK off before the port closes:
// a line, or a server's line, is never left held.
TEST_F(ModemLinesTest, TheEndOfTheRunPutsATimedLineBack) {
  EXPECT_EQ(batch("local break 60000\n", {"--timeout", "2"}), 124);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].first, Control::BreakOff);
  EXPECT_LE(seen[1].second, 3000);
  EXPECT_FALSE(rig.serial.is_open());
}

TEST_F(ModemLinesTest, SetAtEveryOpenAsTheOptionsSay) {
  rig.env["DRAVELPORT"] = "/dev/ttyUSB0";
  EXPECT_EQ(batch("local exit 0\n", {"--dtr", "off", "--rts=on"}), 0);
  EXPECT_EQ(seen, (std::vector<Timed>{{Control::DtrOff, 0}, {Control::RtsOn, 0}}));

  // A device pulled and put back is set as it was last set, by the option or a command.
  State& s = rig.s();
  rig.open_port();
  seen.clear();
  first = -1;
  rig.serial.unplug();
  std::uint8_t b[4];
  EXPECT_EQ(s.link.port.read(b, 4), 0);
  rig.serial.plug_in();
  rig.clock.advance_ms(2000);
  s.core.hooks.tend();  // once said lost
  rig.clock.advance_ms(1000);
  s.core.hooks.tend();  // reopened
  EXPECT_TRUE(s.link.port.is_open());
  EXPECT_EQ(seen, (std::vector<Timed>{{Control::DtrOff, 0}, {Control::RtsOn, 0}}));
}

TEST_F(ModemLinesTest, WhatCannotBeSetFailsWithOneMessage) {
  struct Case {
    const char* script;
    bool has_lines;
    const char* message;
  };
  const Case cases[] = {
      {"local dtr on\nlocal echo not reached\n", false,
       "cannot set DTR on: this device has no BREAK or modem lines\n\rauto commands all stop"},
      {"local break\n", false, "cannot set BREAK on: this device has no BREAK or modem lines\n\r"},
      {"local rts pulse 5\n", false, "cannot set RTS off: this device has no BREAK or modem"},
      {"local dtr\n", true, "usage: local dtr on|off|pulse <ms> (1 to 60000)\n\r"},
      {"local dtr onx\n", true, "usage: local dtr"},
      {"local rts pulse\n", true, "usage: local rts on|off|pulse <ms> (1 to 60000)\n\r"},
      {"local rts pulse 60001\n", true, "usage: local rts"},
      {"local dtr pulse 0\n", true, "usage: local dtr"},
      {"local break 10x\n", true, "usage: local break [<ms>] (1 to 60000, 250 when none)\n\r"},
      {"local break -5\n", true, "usage: local break"},
  };
  for (const Case& c : cases) {
    rig.state = std::make_unique<State>(rig.io);
    rig.state->history_path = rig.history_file();
    rig.serial.has_lines = c.has_lines;
    rig.console.take_screen();
    EXPECT_EQ(batch(c.script), 1) << c.script;
    const std::string screen = rig.console.take_screen();
    EXPECT_NE(screen.find(c.message), std::string::npos) << c.script << screen;
    EXPECT_EQ(screen.find("not reached"), std::string::npos);
  }
  // A batch run told to set a line the device cannot set runs no script.
  rig.state = std::make_unique<State>(rig.io);
  rig.serial.has_lines = false;
  EXPECT_EQ(batch("local echo not reached\n", {"--rts", "off"}), 1);
  const std::string screen = rig.console.take_screen();
  EXPECT_NE(screen.find("cannot set RTS off: this device has no BREAK or modem lines\n"),
            std::string::npos)
      << screen;
  EXPECT_EQ(screen.find("not reached"), std::string::npos);
}

}  // namespace
}  // namespace dravel::test
