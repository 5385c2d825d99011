// Local edit mode and the history file, on the built dravel with a pty as its serial line.
#include <gtest/gtest.h>

#include <memory>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr const char* F8 = "\x1b[19~";
constexpr const char* F10 = "\x1b[21~";
constexpr const char* F2 = "\x1bOQ";
constexpr const char* MONITOR_PROMPT = "  \r>>";

class LineInputE2E : public ::testing::Test {
 protected:
  std::unique_ptr<PtyProcess> start() {
    auto p = std::make_unique<PtyProcess>(
        DRAVEL_BIN, std::vector<std::string>{"-d", device.path()},
        std::vector<std::string>{"DRAVELHIS=" + history, "KRVB7100=2f8,3,57600"});
    EXPECT_TRUE(p->wait_for(" BAUDRATE = "));
    return p;
  }
  // F8, then the monitor's prompt opens the local editor.
  void enter_edit_mode(PtyProcess& p, const std::string& number) {
    device.clear_received();
    p.type(F8);
    ASSERT_TRUE(device.wait_for("\x15"));
    device.write(MONITOR_PROMPT);
    ASSERT_TRUE(p.wait_for("\r[" + number + "]>>"));
  }
  // Types a line at the local prompt; the monitor gets it with a CR and prompts again.
  void send_line(PtyProcess& p, const std::string& keys, const std::string& sent,
                 const std::string& next_number) {
    p.type(keys);
    ASSERT_TRUE(device.wait_for(sent + "\r"));
    device.write(MONITOR_PROMPT);
    ASSERT_TRUE(p.wait_for("\r[" + next_number + "]>>"));
  }

  test::TempDir dir;
  std::string history = dir.file("his");
  PtyDevice device;
};

TEST_F(LineInputE2E, EditedLinesReachTheMonitorAndAreRecalledInTheNextRun) {
  {
    auto p = start();
    enter_edit_mode(*p, "1");
    send_line(*p, "dump 8001\r", "dump 8001", "2");
    send_line(*p, "lx\x08s\r", "ls", "3");
    p->type(std::string(F10) + F2);
    EXPECT_EQ(p->wait_exit(), 0);
  }
  EXPECT_EQ(test::TempDir::read(history), "dump 8001\nls\n");

  auto p = start();
  enter_edit_mode(*p, "3");
  send_line(*p, "\x05\x05\r", "dump 8001", "4");
  p->type("\x1b");
  EXPECT_EQ(p->wait_exit(), 1);
  EXPECT_EQ(test::TempDir::read(history), "ls\ndump 8001\n");
}

}  // namespace
}  // namespace dravel::e2e
