// The built dravel against a krvbsim that misbehaves on purpose: rejected and corrupt packets,
// a monitor that falls silent during each wait, a prompt that never comes. What dravel shows,
// how it ends, the terminal it leaves, and the files it writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "e2e/pty_harness.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

const std::string F2 = "\x1b[12~", F4 = "\x1b[14~", F5 = "\x1b[15~", F9 = "\x1b[20~",
                  F10 = "\x1b[21~";
constexpr std::uint32_t PROGRAM = 0x80010000;

class FaultE2E : public ::testing::Test {
 protected:
  std::unique_ptr<PtyProcess> start(std::vector<std::string> sim_options) {
    auto p = dravel_on_krvbsim(std::move(sim_options), his);
    EXPECT_TRUE(p->wait_for("KRVB7100 debug monitor"));
    return p;
  }
  void expect_restored(PtyProcess& p) {
    EXPECT_TRUE(same_mode(p.tty_settings(), p.initial_settings()));
  }
  std::string exe_file(const std::string& image) {
    test::ExeLayout layout;
    layout.image = image;
    layout.pc = PROGRAM + 0x10;
    return dir.write("p.exe", test::make_exe(layout));
  }

  test::TempDir dir;
  std::string his = dir.file("his");
};

std::string pattern(std::size_t n) {
  std::string out(n, '\0');
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(i * 7 + i / 256);
  return out;
}

TEST_F(FaultE2E, RejectedAndCorruptPacketsAreSentAgainAndEveryFileComesOutWhole) {
  std::string image = pattern(0x2000);
  std::string exe = exe_file(image);
  std::string out = dir.file("out.bin");
  char dump[64];
  std::snprintf(dump, sizeof dump, "%x:2000:", PROGRAM);
  // The first packet each way goes wrong once.
  auto p = start({"--nak-packet", "1", "--corrupt-packet", "1", "--dump", dump + dir.file("mem")});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type(F5);
  ASSERT_TRUE(p->wait_for("Log"));
  p->type(dir.file("log") + "\r");
  p->type(F4);
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(exe + "\r");
  // The registers are set and keys are read again; the prompt may come in one read with PC=.
  ASSERT_TRUE(p->wait_for_after("PC=80010010", ">> "));
  p->type(F10 + F4);
  ASSERT_TRUE(p->wait_for("Dsave"));
  p->type(out + " 80010000 2000\r");
  ASSERT_TRUE(p->wait_for("(sec)"));
  p->type(F10 + F2);
  EXPECT_EQ(p->wait_exit(), 0);
  expect_restored(*p);
  EXPECT_TRUE(test::TempDir::read(dir.file("mem")) == image);
  EXPECT_TRUE(test::TempDir::read(out) == image);
  std::string log = test::TempDir::read(dir.file("log"));
  EXPECT_NE(log.find("local load " + exe + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("local dsave " + out + " 80010000 2000\n"), std::string::npos) << log;
  EXPECT_NE(test::TempDir::read(his).find(out + " 80010000 2000"), std::string::npos);
}

TEST_F(FaultE2E, SilentMonitorInEachWaitEndsWithStatusOneAndNothingHalfWritten) {
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  std::string exe = exe_file(pattern(0x100));
  std::string bin = dir.write("image.bin", pattern(0x1000));
  std::string out = dir.file("out.bin");
  struct Case {
    const char* what;
    std::vector<std::string> faults;
    std::string keys;
    std::string shown;  // once dravel waits
    std::string said;   // after ESC
  };
  const Case cases[] = {
      {"text (binary)",
       {"--mute-after", "brd\\r"},
       F10 + F4 + out + " 80010000 100\r",
       "Dsave",
       "Terminate by user!"},
      {"packet answer",
       {"--mute-after-bytes", "200"},
       F9 + F4 + bin + " 80010000\r",
       "size:",
       "Terminate by user!"},
      {"s-record acknowledgement",
       {"--drop-srec-acks", "2"},
       F4 + mot + "\r",
       "Load",
       "Terminate by user!"},
      {"prompt before a register", {"--mute-after", "sr "}, F4 + exe + "\r", "PC=", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(his);
    auto p = start(c.faults);
    ASSERT_TRUE(p->wait_for(">> "));
    p->type(c.keys);
    ASSERT_TRUE(p->wait_for(c.shown));
    ASSERT_TRUE(p->wait_for("krvbsim: silent from now on"));
    // ESC is the way out of every wait, even those without a time limit.
    p->type("\x1b");
    EXPECT_EQ(p->wait_exit(Seconds(3)), 1);
    EXPECT_NE(p->output().find(c.said), std::string::npos);
    expect_restored(*p);
    EXPECT_FALSE(std::filesystem::exists(out));
    std::string typed = c.keys.substr(c.keys.rfind('~') + 1);
    typed.pop_back();  // the "\r"
    EXPECT_NE(test::TempDir::read(his).find(typed), std::string::npos) << typed;
  }
}

TEST_F(FaultE2E, PromptThatNeverComesEndsTheLoadAfterItsTimeLimit) {
  std::string exe = exe_file(pattern(0x100));
  // The banner comes, and every answer but the prompt.
  auto p = start({"--hold-prompt"});
  p->type(F4);
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(exe + "\r");
  ASSERT_TRUE(p->wait_for("PC=80010010"));
  EXPECT_TRUE(p->wait_for("KRVB7100 not ready!", Seconds(6)));
  EXPECT_EQ(p->wait_exit(Seconds(3)), 1);
  expect_restored(*p);
  EXPECT_NE(test::TempDir::read(his).find(exe), std::string::npos);
}

}  // namespace
}  // namespace dravel::e2e
