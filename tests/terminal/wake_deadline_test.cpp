// An idle dravel sleeps without a time limit, and only until the nearest thing due when
// something time-bound is pending.
#include "core/wake_deadline.h"

#include <gtest/gtest.h>

#include "core/waits.h"
#include "link/line_control.h"
#include "support/rig.h"
#include "terminal/terminal_loop.h"

namespace dravel::test {
namespace {

struct WakeDeadline : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  void SetUp() override { rig.open_port(); }
  std::int64_t now_s() { return rig.clock.seconds(); }
};

TEST_F(WakeDeadline, NearestOfEverythingPending) {
  State& s = rig.s();
  const std::int64_t now = rig.clock.ms;  // on a whole second
  EXPECT_EQ(idle_timeout_ms(s.core, NO_DEADLINE), platform::WAIT_FOREVER);
  EXPECT_EQ(idle_timeout_ms(s.core, now + 2500), 2500);
  EXPECT_EQ(idle_timeout_ms(s.core, now - 10), 0);  // overdue: at once, never negative
  // "More than 3 whole seconds" first holds 4 s after the start of the second it began in.
  EXPECT_EQ(idle_timeout_ms(s.core, seconds_rule_deadline_ms(now_s(), 3)), 4000);

  s.autos.sleep_seconds = 2;
  s.autos.sleep_start = now_s();
  EXPECT_EQ(idle_timeout_ms(s.core, NO_DEADLINE), 3000);
  EXPECT_EQ(idle_timeout_ms(s.core, now + 2500), 2500);
  s.autos.sleep_seconds = 0;

  // A script's expect and a batch run's --timeout count the same way.
  s.autos.expect.matcher = matcher_create(reinterpret_cast<const std::uint8_t*>("never"), 5);
  s.autos.expect.seconds = 5;
  s.autos.expect.start = now_s();
  EXPECT_EQ(idle_timeout_ms(s.core, NO_DEADLINE), 6000);
  s.core.run_limit = {1, now_s()};
  EXPECT_EQ(idle_timeout_ms(s.core, NO_DEADLINE), 2000);
  s.core.run_limit = {};
  s.autos.expect.matcher.reset();

  rig.serial.unplug();
  std::uint8_t b;
  s.link.port.read(&b, 1);  // the failed read marks the port lost
  ASSERT_TRUE(s.link.port.lost());
  idle_wait(s.core);  // says the loss, starts the once-a-second reopening, and returns
  idle_wait(s.core);
  EXPECT_EQ(rig.idle.last_timeout_ms, 1000);
  rig.clock.ms = now + 1000 + 300;
  s.link.port.last_reopen_second = now_s();
  EXPECT_EQ(idle_timeout_ms(s.core, NO_DEADLINE), 700);
}

TEST_F(WakeDeadline, AnIdleLoopAsksForNoTimeLimit) {
  terminal_pass(rig.s());
  EXPECT_EQ(rig.idle.calls, 1);
  EXPECT_EQ(rig.idle.last_timeout_ms, platform::WAIT_FOREVER);
}

// The loop looked just before a pulse was due and the idle wait's tender put the line back:
// the wait must not then sleep on state the tender has just changed (a Windows wait that
// woke a millisecond early left a script's next line waiting for --timeout).
TEST_F(WakeDeadline, AWaitWhoseTenderActedReturnsAtOnce) {
  State& s = rig.s();
  rig.serial.has_lines = true;
  ASSERT_TRUE(send_break(s.link, 50).ok);
  rig.clock.advance_ms(50);
  const int calls = rig.idle.calls;
  idle_wait(s.core);
  EXPECT_FALSE(line_pulsing(s.link));
  EXPECT_EQ(rig.idle.calls, calls);
  idle_wait(s.core);  // nothing left to tend: it sleeps as before
  EXPECT_EQ(rig.idle.calls, calls + 1);
}

}  // namespace
}  // namespace dravel::test
