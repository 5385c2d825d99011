// The harness itself: a failure here would make every end-to-end result meaningless.
#include "e2e/pty_harness.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace dravel::e2e {

TEST(PtyHarness, TypesReadsAndCollectsExitStatus) {
  PtyProcess p("/bin/cat", {});
  p.type("hello\n");
  EXPECT_TRUE(p.wait_for("hello"));
  EXPECT_FALSE(p.wait_for("never shown", Seconds(0.2)));
  p.type("\x04");
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_TRUE(same_mode(p.tty_settings(), p.initial_settings()));
}

TEST(PtyHarness, KillsAProgramThatOutlivesTheDeadline) {
  PtyProcess p("/bin/sleep", {"30"});
  EXPECT_EQ(p.wait_exit(Seconds(0.3)), std::nullopt);
}

TEST(PtyHarness, PassesEnvironmentAndServesADevice) {
  PtyDevice dev;
  PtyProcess p("/bin/sh", {"-c", "printf \"$GREETING\" > \"$DEV\"; read x; printf \"$x\" "},
               {"GREETING=to-device", "DEV=" + dev.path()});
  EXPECT_TRUE(dev.wait_for("to-device"));
  p.type("back\n");
  EXPECT_TRUE(p.wait_for("back"));
  EXPECT_EQ(p.wait_exit(), 0);
}

}  // namespace dravel::e2e
