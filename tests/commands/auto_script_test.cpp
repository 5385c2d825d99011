#include "terminal/auto_script.h"

#include <gtest/gtest.h>

#include <string>

#include "support/rig.h"
#include "support/wire.h"
#include "terminal/program_watchers.h"
#include "terminal/state.h"
#include "watch/watchers.h"

namespace dravel::test {
namespace {

constexpr const char* PROMPT = "  \r>>";
constexpr const char* ALL_STOP = "auto commands all stop\n\r";

// A monitor that shows its prompt once at the start and, when `answer` is on, after each CR.
struct AutoScriptTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
  bool answer = true;

  void SetUp() override {
    peer.on_write = [this](ScriptedPeer& p, const std::uint8_t* data, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i)
        if (answer && data[i] == '\r') p.say(std::string("\r\n") + PROMPT);
    };
    rig.open_port();
    register_program_watchers(rig.s());
  }
  AutoStack& autos() { return rig.s().autos; }
  Outcome start(const std::string& path) {
    std::string name = path;
    return rig.shown(auto_start(rig.s(), name.data()));
  }
  // Runs a script against the answering monitor until it has ended and its bytes are out.
  std::string run_script(const std::string& content) {
    peer.say(PROMPT);
    EXPECT_EQ(start(dir.write("s.scr", content)), Outcome::Done);
    EXPECT_TRUE(rig.pass_until([&] { return !autos().active() && rig.s().link.tx.count == 0; }));
    return rig.serial.wire_out;
  }
  bool idle_passes(int n) {
    return !rig.pass_until([] { return false; }, n);
  }
};

TEST_F(AutoScriptTest, EachTargetLineWaitsForAPromptOfItsOwn) {
  answer = false;
  start(dir.write("s.scr", "first\nsecond\n"));
  ASSERT_TRUE(idle_passes(50));
  EXPECT_EQ(rig.serial.wire_out, "");

  peer.say(PROMPT);
  ASSERT_TRUE(rig.pass_until([&] { return rig.serial.wire_out == "first\r"; }));
  ASSERT_TRUE(idle_passes(50));
  EXPECT_EQ(rig.serial.wire_out, "first\r");

  peer.say(std::string("\r\n") + PROMPT);
  ASSERT_TRUE(rig.pass_until([&] { return rig.serial.wire_out == "first\rsecond\r"; }));
  EXPECT_FALSE(autos().active());
  EXPECT_EQ(rig.console.screen.find(ALL_STOP), std::string::npos);  // a silent end
}

TEST_F(AutoScriptTest, LocalLineAfterWaitPromptWaitsAndTheTargetLineFollowsOnTheSamePrompt) {
  answer = false;
  start(dir.write("s.scr", "local wait-prompt\nlocal echo x\nnext\n"));
  ASSERT_TRUE(idle_passes(50));
  EXPECT_EQ(rig.console.screen.find("x\n\r"), std::string::npos);

  peer.say(PROMPT);  // one prompt only
  ASSERT_TRUE(rig.pass_until([&] { return rig.serial.wire_out == "next\r"; }));
  EXPECT_NE(rig.console.screen.find("x\n\r"), std::string::npos);
}

TEST_F(AutoScriptTest, LineTextIsSentAsReadWithinTheLimits) {
  std::string wire =
      run_script(std::string(100, 'a') + "\n"    // cut to 64
                 + "\n"                          // a lone CR
                 + "  LOCAL sleep 5\r\n"         // capitals: a target line, leading blanks and all
                 + "bin\x01\xff\r\n"             // bytes as they are
                 + std::string(300, 'b') + "\n"  // 255, then the rest as a line of its own
                 + "local\n"                     // nothing at all
                 +
                 "last"
                 "\x1a"
                 "after the end\n");
  EXPECT_EQ(wire, std::string(64, 'a') + "\r" + "\r" + "  LOCAL sleep 5\r" + "bin\x01\xff\r" +
                      std::string(64, 'b') + "\r" + std::string(45, 'b') + "\r" + "last\r");
}

TEST_F(AutoScriptTest, SleepLastsMoreThanNAndAtMostNPlusOneSeconds) {
  for (std::int64_t offset : {0, 900}) {
    rig.clock.ms = 5'000'000 + offset;
    start(dir.write("s.scr", "local sleep 2\nlocal echo done\n"));
    std::int64_t began = rig.clock.ms;
    ASSERT_TRUE(
        rig.pass_until([&] { return rig.console.screen.find("done") != std::string::npos; }));
    std::int64_t took = rig.clock.ms - began;
    EXPECT_GT(took, 2000) << offset;
    EXPECT_LE(took, 3000) << offset;
    rig.console.screen.clear();
  }
}

TEST_F(AutoScriptTest, SleepWithoutAPositiveNumberStartsNoSleep) {
  for (const char* arg : {"0", "-3", "x", "", "  +0junk"}) {
    int calls = rig.idle.calls;
    start(dir.write("s.scr", std::string("local sleep ") + arg + "\nlocal echo done\n"));
    ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 10)) << arg;
    EXPECT_EQ(rig.idle.calls, calls) << arg;
    EXPECT_EQ(count_of(rig.console.take_screen(), "done"), 1) << arg;
  }
  // Too long for an int: capped, not wrapped round, so thirty years on it still sleeps.
  start(dir.write("s.scr", "local sleep 99999999999999999999\nlocal echo woke\n"));
  rig.pass_until([] { return false; }, 5);
  rig.clock.advance_ms(30LL * 365 * 24 * 3600 * 1000);
  rig.pass_until([] { return false; }, 5);
  EXPECT_EQ(rig.console.screen.find("woke"), std::string::npos);
}

TEST_F(AutoScriptTest, NestedScriptRunsThenTheOuterOneResumes) {
  std::string inner =
      dir.write("inner.scr", "local echo in1\nlocal echo in2");  // no final line end
  start(dir.write("outer.scr", "local echo out1\nlocal auto  " + inner + "\nlocal auto " +
                                   dir.write("empty.scr", "") + "\nlocal echo out2\n"));
  ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 100));
  const std::string& screen = rig.console.screen;
  std::size_t a = screen.find("out1\n\r"), b = screen.find("in1\n\r"), c = screen.find("in2\n\r"),
              d = screen.find("out2\n\r");
  ASSERT_NE(d, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_LT(c, d);
  EXPECT_EQ(screen.find(ALL_STOP), std::string::npos);
  EXPECT_EQ(autos().auto_depth, 0);
}

TEST_F(AutoScriptTest, SelfNestingStopsAtSeventeenScripts) {
  std::string self = dir.file("self.scr");
  dir.write("self.scr", "local echo level\nlocal auto " + self + "\nlocal echo unreached\n");
  start(self);
  int deepest = 0;
  ASSERT_TRUE(rig.pass_until(
      [&] {
        deepest = std::max(deepest, autos().auto_depth);
        return !autos().active();
      },
      200));
  EXPECT_EQ(deepest, AUTO_DEPTH_LIMIT);
  EXPECT_EQ(count_of(rig.console.screen, "level\n\r"), 17);
  EXPECT_NE(rig.console.screen.find("Too many nest Auto command \n\r" + std::string(ALL_STOP)),
            std::string::npos);
  EXPECT_EQ(count_of(rig.console.screen, ALL_STOP), 1u);
  EXPECT_EQ(rig.console.screen.find("unreached"), std::string::npos);
}

TEST_F(AutoScriptTest, AFailingLocalLineStopsEveryScript) {
  std::string missing = dir.file("missing.scr");
  std::string inner = dir.write("inner.scr", "local auto " + missing + "\nlocal echo skipped1\n");
  start(dir.write("outer.scr", "local auto " + inner + "\nlocal echo skipped2\n"));
  ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 100));
  EXPECT_NE(rig.console.screen.find(" \"" + missing + "\" not found\n\r" + ALL_STOP),
            std::string::npos);
  EXPECT_EQ(rig.console.screen.find("skipped"), std::string::npos);
  EXPECT_EQ(autos().auto_depth, 0);
}

TEST_F(AutoScriptTest, StartFailuresLeaveNoScript) {
  EXPECT_EQ(start(dir.file("nope")), Outcome::Failed);
  EXPECT_NE(rig.console.take_screen().find(" \"" + dir.file("nope") + "\" not found\n\r"),
            std::string::npos);
  EXPECT_EQ(start(dir.path()), Outcome::Failed);  // a directory has no lines
  EXPECT_EQ(rig.console.take_screen(), " \"" + dir.path() + "\" can't open: Is a directory\n\r");
  EXPECT_FALSE(autos().active());
  EXPECT_EQ(autos().auto_depth, 0);
}

TEST_F(AutoScriptTest, AbortFlagWhenATargetLineIsDueStopsWithoutSending) {
  start(dir.write("s.scr", "target\n"));
  rig.s().core.abort_flag = true;
  rig.s().link.prompt_seen = true;
  terminal_pass(rig.s());
  EXPECT_FALSE(autos().active());
  EXPECT_EQ(rig.s().link.tx.count, 0);
  EXPECT_FALSE(rig.s().link.prompt_seen);
  EXPECT_NE(rig.console.screen.find(ALL_STOP), std::string::npos);
}

TEST_F(AutoScriptTest, F3EndsASleep) {
  start(dir.write("s.scr", "local sleep 100\nlocal echo never\n"));
  ASSERT_TRUE(rig.pass_until([&] { return autos().sleep_seconds == 100; }, 10));
  ASSERT_TRUE(idle_passes(20));
  rig.console.type(fkey(3));
  ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 10));
  EXPECT_EQ(autos().sleep_seconds, 0);
  EXPECT_EQ(count_of(rig.console.screen, ALL_STOP), 1u);
  ASSERT_TRUE(idle_passes(20));
  EXPECT_EQ(rig.console.screen.find("never"), std::string::npos);
}

TEST_F(AutoScriptTest, PauseShowsItsTextAndF3AnswerStopsAll) {
  rig.console.when_screen("?", "k");
  rig.console.when_screen("Ready? ", fkey(3));
  start(
      dir.write("s.scr", "local pause\nlocal echo one\nlocal pause   Ready?\nlocal echo never\n"));
  ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 100));
  EXPECT_NE(rig.console.screen.find("?\r\none\n\rReady? \r\n" + std::string(ALL_STOP)),
            std::string::npos);
  EXPECT_EQ(rig.console.screen.find("never"), std::string::npos);
  EXPECT_EQ(rig.serial.wire_out, "");  // the key answering the pause is not sent
}

TEST_F(AutoScriptTest, AutoAgainRestartsOnlyTheInnermostScriptAndF3StopsTheLoop) {
  std::string inner = dir.write("inner.scr", "local echo tick\nlocal auto-again\n");
  start(dir.write("outer.scr", "local echo start\nlocal auto " + inner + "\nlocal echo end\n"));
  ASSERT_TRUE(rig.pass_until([&] { return count_of(rig.console.screen, "tick\n\r") >= 5; }, 1000));
  EXPECT_EQ(count_of(rig.console.screen, "start"), 1u);
  EXPECT_EQ(autos().auto_depth, 2);

  rig.console.type(fkey(3));  // taken between local lines
  ASSERT_TRUE(rig.pass_until([&] { return !autos().active(); }, 10));
  EXPECT_EQ(count_of(rig.console.screen, ALL_STOP), 1u);
  EXPECT_EQ(rig.console.screen.find("end"), std::string::npos);
}

TEST_F(AutoScriptTest, F3PromptsForAScriptAndLogsIt) {
  std::string log = dir.file("ops.log");
  ASSERT_TRUE(rig.s().log_file.open(log.c_str(), "w"));
  std::string script = dir.write("s.scr", "local echo ran\n");
  rig.console.type(fkey(3) + script + "\r");
  ASSERT_TRUE(
      rig.pass_until([&] { return rig.console.screen.find("ran\n\r") != std::string::npos; }, 200));
  EXPECT_NE(rig.console.screen.find("\x1b[32mAuto"), std::string::npos);
  rig.s().log_file.close();
  EXPECT_NE(TempDir::read(log).find("local auto " + script + "\n"), std::string::npos);

  rig.console.type(fkey(3) + "\r");  // an empty answer starts nothing
  ASSERT_TRUE(rig.pass_until([&] { return !rig.console.keys_left(); }, 200));
  EXPECT_FALSE(autos().active());
}

// The whole program, with the script named on the command line.
struct StartupScriptTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
};

TEST_F(StartupScriptTest, ScriptEndingInQuitEndsTheProgramNormally) {
  peer.say(PROMPT);
  peer.on_write = [](ScriptedPeer& p, const std::uint8_t* data, std::size_t n) {
    if (data[n - 1] == '\r') p.say(std::string("\r\nversion 1.0\r\n") + PROMPT);
  };
  // quit waits for the answer, so the line is out before the program ends
  std::string script = dir.write("s.scr", "local echo hello\nver\nlocal wait-prompt\nlocal quit\n");
  EXPECT_EQ(rig.run({script}), 0);
  EXPECT_NE(rig.console.screen.find("hello\n\r"), std::string::npos);
  EXPECT_EQ(rig.serial.wire_out, "ver\r");
}

TEST_F(StartupScriptTest, DirectoryNamedAsTheScriptIsReportedAndTheProgramGoesOn) {
  rig.console.type("\x1b");
  EXPECT_EQ(rig.run({dir.path()}), 1);
  EXPECT_NE(rig.console.screen.find(" \"" + dir.path() + "\" can't open: Is a directory\n\r"),
            std::string::npos);
}

// Against the simulated monitor: a start-up script that loads a program and inspects it.
TEST(SimScriptTest, StartupScriptLoadsAProgramThenTalksToTheMonitor) {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;
  sim.monitor.start();
  const std::string fixture = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  std::string script = dir.write(
      "s.scr", "local load " + fixture + "\ndw 80010000 4\nreg\nlocal wait-prompt\nlocal quit\n");
  EXPECT_EQ(rig.run({script}), 0);

  std::string wire = sim.monitor.trace().from_host();
  std::size_t load = wire.find("ld2\r"), dw = wire.find("dw 80010000 4\r"),
              reg = wire.find("reg\r");
  ASSERT_NE(reg, std::string::npos) << wire;
  EXPECT_EQ(load, 0u);
  EXPECT_LT(load, dw);
  EXPECT_LT(dw, reg);
  EXPECT_EQ(wire.size(), reg + 4);  // nothing after the last line
  EXPECT_EQ(sim.monitor.srec().errors(), 0);
  EXPECT_EQ(sim.monitor.memory().read_word(0x80010000), 0x3C068001u);  // first word of the image
}

// The loop a user writes to exercise a board: a target line then local transfers. Each
// transfer's "bwr"/"brd" must reach the monitor after the whole of "help\r", cycle after cycle.
TEST(SimScriptTest, LocalLinesWaitForTheQueuedTargetLineToGoOut) {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;
  sim.monitor.start();
  rig.open_port();
  register_program_watchers(rig.s());
  std::string data(0x6001, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + (i >> 8));
  std::string image = dir.write("data.bin", data), out = dir.file("out.bin");
  std::string script = dir.write("s.scr", "local dload " + image + " 80010000\nlocal dsave " + out +
                                              " 80010000 6001\nhelp\nlocal auto-again\n");
  ASSERT_TRUE(auto_start(rig.s(), script.data()).ok());
  auto cycles = [&] { return count_of(sim.monitor.trace().from_host(), "help\rbwr\r"); };
  ASSERT_TRUE(rig.pass_until([&] { return cycles() >= 3; }, 2'000'000))
      << sim.monitor.trace().from_host().substr(0, 400);
  std::string wire = sim.monitor.trace().from_host();
  EXPECT_EQ(count_of(wire, "help\rbwr\r"), count_of(wire, "bwr\r") - 1);  // all but the first
  EXPECT_EQ(rig.console.screen.find("unknown command"), std::string::npos);
  EXPECT_EQ(TempDir::read(out), data);
}

}  // namespace
}  // namespace dravel::test
