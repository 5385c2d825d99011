// local expect, local exit and --batch runs, in-process against the simulated monitor (or a
// scripted one where the test must choose how the board's text is cut into reads).
#include <gtest/gtest.h>

#include <string>

#include "core/escaped_text.h"
#include "support/rig.h"
#include "terminal/expect_command.h"
#include "terminal/state.h"

namespace dravel::test {
namespace {

constexpr const char* PROMPT = "  \r>>";
const std::string FIXTURE = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";

// The whole program in batch mode; the board's program prints its pass line on "go".
struct BatchRunTest : ::testing::Test {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;

  void SetUp() override {
    sim.monitor.start();
    sim.monitor.set_program_output("\r\nhello: PASS (3 of 3)\r\n");
    rig.env["DRAVELHIS"] = dir.file("history");
  }
  int run(const std::string& script, std::vector<std::string> before = {}) {
    before.insert(before.begin(), "--batch");
    before.push_back(dir.write("t.scr", script));
    return rig.run(before);
  }
  double seconds_taken(std::int64_t start_ms) const {
    return static_cast<double>(rig.clock.ms - start_ms) / 1000.0;
  }
};

TEST_F(BatchRunTest, StatusesReadAsDocumented) {
  struct Case {
    const char* script;
    int status;
  };
  const std::string load = "local load " + FIXTURE + "\n";
  const Case cases[] = {
      {"go\nlocal expect PASS (3 of 3)\n", 0},               // no script left: 0
      {"go\nlocal expect PASS\nlocal exit 7\n", 7},          // exit chooses
      {"local exit\nlocal exit 9\n", 0},                     // default 0, nothing after it runs
      {"local load /nonexistent/x.mot\nlocal exit 0\n", 1},  // a failed load stops the run
      {"local auto /nonexistent/more.scr\n", 1},             // so does a missing file
      {"local exit 256\n", 1},                               // out of range: a failed command
      {"local expect bad \\q escape\n", 1},  // a bad escape is not an expect failure
  };
  for (const Case& c : cases) {
    rig.state = std::make_unique<State>(rig.io);
    sim.monitor.start();
    EXPECT_EQ(run(load + c.script), c.status) << c.script << rig.console.take_screen();
  }
}

TEST_F(BatchRunTest, LoadRunAndExpectTheProgramsPassLine) {
  EXPECT_EQ(run("local load " + FIXTURE + "\ngo\nlocal expect hello: PASS\nlocal echo judged\n"),
            0);
  EXPECT_EQ(sim.monitor.srec().errors(), 0);
  EXPECT_EQ(sim.monitor.memory().read_word(0x80010000), 0x3C068001u);
  // The terminal showed the program's text before the script went on.
  std::size_t pass = rig.console.screen.find("hello: PASS (3 of 3)");
  ASSERT_NE(pass, std::string::npos) << rig.console.screen;
  EXPECT_GT(rig.console.screen.find("judged", pass), pass);
}

TEST_F(BatchRunTest, TextThatNeverComesFailsAfterItsLimitOnAFreshLine) {
  const std::int64_t start = rig.clock.ms;
  EXPECT_EQ(run("go\nlocal expect -t 5 FAIL\\x21\nlocal exit 0\n"), 3);
  EXPECT_GE(seconds_taken(start), 5.0);
  EXPECT_LT(seconds_taken(start), 7.0);
  EXPECT_NE(rig.console.screen.find(">> \nexpect: \"FAIL\\x21\" not seen within 5 s\n"),
            std::string::npos)
      << rig.console.screen;
}

TEST_F(BatchRunTest, DefaultLimitIsThirtySeconds) {
  const std::int64_t start = rig.clock.ms;
  EXPECT_EQ(run("local expect FAIL\n"), 3);
  EXPECT_GE(seconds_taken(start), 30.0);
  EXPECT_LT(seconds_taken(start), 32.0);
}

TEST_F(BatchRunTest, TimeoutEndsALongRunWith124) {
  for (const std::vector<std::string>& spelling :
       {std::vector<std::string>{"--timeout", "10"}, std::vector<std::string>{"--timeout=10"}}) {
    rig.state = std::make_unique<State>(rig.io);
    sim.monitor.start();
    const std::int64_t start = rig.clock.ms;
    EXPECT_EQ(run("go\nlocal sleep 100\n", spelling), 124) << spelling[0];
    EXPECT_GE(seconds_taken(start), 10.0);
    EXPECT_LT(seconds_taken(start), 12.0);
    EXPECT_NE(rig.console.take_screen().find("the run took longer than 10 s"), std::string::npos);
  }
}

// A shell command gets what is left of --timeout, and a run whose time ran out in it ends
// there, not at the next wait.
TEST_F(BatchRunTest, ShellCommandsGetWhatIsLeftOfTheTimeout) {
  std::vector<int> limits;
  rig.shell.on_run = [&] { rig.clock.ms += 4000; };
  EXPECT_EQ(run("local dos one\nlocal dos two\n", {"--timeout", "10"}), 0);
  ASSERT_EQ(rig.shell.limits_ms.size(), 2u);
  EXPECT_GT(rig.shell.limits_ms[0], 10'000);  // more than 10 whole seconds, as every limit
  EXPECT_LE(rig.shell.limits_ms[0], 11'000);
  EXPECT_EQ(rig.shell.limits_ms[0] - rig.shell.limits_ms[1], 4000);

  rig.state = std::make_unique<State>(rig.io);
  rig.shell.limits_ms.clear();
  rig.shell.on_run = [&] { rig.clock.ms += 60'000; };  // ended by the limit
  EXPECT_EQ(run("local dos hangs\nlocal exit 5\n", {"--timeout", "10"}), 124);
  EXPECT_EQ(rig.shell.commands.back(), "hangs");

  rig.state = std::make_unique<State>(rig.io);
  rig.shell.limits_ms.clear();
  EXPECT_EQ(run("local dos free\n"), 0);
  EXPECT_EQ(rig.shell.limits_ms, std::vector<int>{platform::WAIT_FOREVER});
}

TEST_F(BatchRunTest, ScriptsNamedRunInOrderAndAMissingOneFailsTheRun) {
  std::string first = dir.write("1.scr", "local echo one\n");
  std::string second = dir.write("2.scr", "local echo two\n");
  EXPECT_EQ(rig.run({"--batch", first, second}), 0);
  EXPECT_LT(rig.console.screen.find("one"), rig.console.screen.find("two"));

  rig.state = std::make_unique<State>(rig.io);
  EXPECT_EQ(rig.run({"--batch", first, dir.file("missing.scr"), second}), 1);
}

TEST_F(BatchRunTest, UsageErrorsEndWithStatus2BeforeOpeningThePort) {
  const std::vector<std::vector<std::string>> bad = {{"--batch"},
                                                     {"--batch", "--timeout", "x", "t.scr"},
                                                     {"--timeout", "5", "t.scr"},
                                                     {"--batch", "--nonsense", "t.scr"}};
  for (const auto& args : bad) {
    rig.state = std::make_unique<State>(rig.io);
    EXPECT_EQ(rig.run(args), 2) << args.size();
  }
  EXPECT_EQ(rig.serial.opens, 0);
}

TEST_F(BatchRunTest, TheKeyboardIsNeverReadAndQuestionsGetEnter) {
  rig.console.type("\x1b");  // would end an interactive run at once
  EXPECT_EQ(run("local pause press a key\nlocal exit 4\n"), 4);
  EXPECT_TRUE(rig.console.keys_left());
}

TEST_F(BatchRunTest, ALostDeviceEndsTheRunWith1) {
  rig.idle.on_wait = [&] {
    if (rig.s().autos.expect.waiting()) rig.serial.unplug();
  };
  EXPECT_EQ(run("local expect never\n"), 1);
  EXPECT_NE(rig.console.screen.find("stopped: the serial device is gone"), std::string::npos);
}

TEST_F(BatchRunTest, TheOperationLogKeepsTheBoardsText) {
  std::string log = dir.file("board.log");
  EXPECT_EQ(run("local log " + log + "\ngo\nlocal expect PASS\nlocal log\n"), 0);
  EXPECT_NE(TempDir::read(log).find("hello: PASS (3 of 3)"), std::string::npos);
}

// The board's answer to "go", however it is cut into reads and whenever it comes.
struct ExpectTimingTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
  void SetUp() override { rig.env["DRAVELHIS"] = dir.file("history"); }
};

TEST_F(ExpectTimingTest, TextSplitOverReadsOrSentBeforeTheExpectLineRanStillMatches) {
  struct Case {
    const char* name;
    std::size_t chunk;         // bytes per read
    const char* before_sleep;  // what comes with the answer to "go"
    const char* during_wait;   // what comes once the expect line waits
    const char* between;       // script lines between "go" and the expect
  };
  const Case cases[] = {
      {"all at once", 1 << 20, "\r\nresult: PASS\r\n", "", ""},
      {"a byte a read", 1, "\r\nresult: PASS\r\n", "", ""},
      {"before the expect ran", 1 << 20, "\r\nresult: PASS\r\n", "", "local sleep 2\n"},
      {"half before, half after", 3, "\r\nresult: PA", "SS\r\n", "local sleep 2\n"},
  };
  for (const Case& c : cases) {
    ScriptedPeer p;
    rig.serial.set_peer(&p);
    rig.state = std::make_unique<State>(rig.io);
    p.max_chunk = c.chunk;
    p.say(PROMPT);
    p.on_write = [&](ScriptedPeer& peer_, const std::uint8_t* data, std::size_t n) {
      if (data[n - 1] == '\r') peer_.say(c.before_sleep);
    };
    bool said = false;
    rig.idle.on_wait = [&] {
      if (!said && rig.s().autos.expect.waiting()) {
        said = true;
        p.say(c.during_wait);
      }
    };
    std::string script = dir.write(
        "t.scr", std::string("go\n") + c.between + "local expect -t 5 PASS\nlocal exit 6\n");
    EXPECT_EQ(rig.run({"--batch", script}), 6) << c.name << "\n" << rig.console.screen;
  }
}

TEST_F(ExpectTimingTest, TextBeforeAMatchDoesNotCountForTheNextExpect) {
  peer.say(std::string(PROMPT) + "second first ");
  std::string script = dir.write("t.scr", "local expect first\nlocal expect -t 2 second\n");
  EXPECT_EQ(rig.run({"--batch", script}), 3);
  // The second failed, not the first.
  EXPECT_EQ(rig.console.screen.find("expect: \"first\""), std::string::npos) << rig.console.screen;
  EXPECT_NE(rig.console.screen.find("expect: \"second\" not seen within 2 s\n"), std::string::npos);
}

// Only the latest board text is kept for an expect that has not run yet: a flood pushes
// out what came first, and what came last still counts.
TEST_F(ExpectTimingTest, KeptTextIsTheLatestOfAFlood) {
  const std::string flood = "early " + std::string(3 * EXPECT_RECENT_LIMIT, '.') + " late\r\n";
  for (const char* target : {"early", "late"}) {
    ScriptedPeer p;
    rig.serial.set_peer(&p);
    rig.state = std::make_unique<State>(rig.io);
    p.say(PROMPT);
    p.on_write = [&](ScriptedPeer& peer_, const std::uint8_t* data, std::size_t n) {
      if (data[n - 1] == '\r') peer_.say(flood);
    };
    std::string script = dir.write("t.scr", "go\nlocal sleep 2\nlocal expect -t 1 " +
                                                std::string(target) + "\nlocal exit 6\n");
    EXPECT_EQ(rig.run({"--batch", script}), target == std::string("late") ? 6 : 3) << target;
  }
}

TEST_F(ExpectTimingTest, InteractiveF3StopsTheScripts) {
  std::string script = dir.write("t.scr", "local expect never\nlocal echo went on\n");
  peer.say(PROMPT);
  rig.console.when_screen(">>", fkey(3));
  rig.console.when_screen("all stop", fkey(10) + fkey(2));
  EXPECT_EQ(rig.run({script}), 0);
  EXPECT_EQ(rig.console.screen.find("went on"), std::string::npos);
  EXPECT_EQ(rig.console.screen.find("not seen"), std::string::npos);
}

TEST(ExpectText, EscapesNameControlBytes) {
  struct Case {
    const char* text;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"a b\\r\\n\\t\\\\", true, "a b\r\n\t\\"},
      {"\\x41\\x7e\\x00z", true, std::string("A~\0z", 4)},
      {"\\x4", false, ""},
      {"\\xg1", false, ""},
      {"tail\\", false, ""},
      {"\\q", false, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(unescape(c.text, out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out, c.bytes) << c.text;
    }
  }
}

}  // namespace
}  // namespace dravel::test
