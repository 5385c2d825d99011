// Raw image download and upload between the built dravel and krvbsim on real ptys.
#include <gtest/gtest.h>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

const std::string F2 = "\x1b[12~", F4 = "\x1b[14~", F9 = "\x1b[20~", F10 = "\x1b[21~";

std::string image(std::size_t n, unsigned seed) {
  std::string out(n, '\0');
  unsigned x = seed;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return out;
}

class LinkE2E : public ::testing::Test {
 protected:
  // krvbsim on the test's pty, running dravel on the pty it serves as the serial line.
  std::unique_ptr<PtyProcess> start(std::vector<std::string> sim_options) {
    return dravel_on_krvbsim(std::move(sim_options), dir.file("his"));
  }
  // F10 F2 quits dravel; krvbsim then writes its files and ends with dravel's status.
  void quit(PtyProcess& p) {
    p.type(F10 + F2);
    EXPECT_EQ(p.wait_exit(), 0);
  }
  test::TempDir dir;
};

TEST_F(LinkE2E, DloadLandsExactlyInTargetMemoryDespiteARejectedPacket) {
  std::string data = image(0x4001, 5);
  std::string file = dir.write("image.bin", data);
  auto p = start({"--nak-packet", "3", "--dump", "80010000:4001:" + dir.file("memory")});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type(F9 + F4);
  ASSERT_TRUE(p->wait_for("Dload"));
  p->type(file + " 80010000\r");
  ASSERT_TRUE(p->wait_for("004001:"));
  p->clear_output();
  p->type("\r");  // the monitor is back in command mode and prompts again
  ASSERT_TRUE(p->wait_for(">> "));
  quit(*p);
  EXPECT_TRUE(test::TempDir::read(dir.file("memory")) == data);
}

TEST_F(LinkE2E, DsaveWritesAnIdenticalFileDespiteACorruptPacket) {
  std::string data = image(0x8000, 6);
  std::string source = dir.write("source.bin", data);
  auto p = start({"--load", source + "@80020000", "--corrupt-packet", "3"});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type(F10 + F4);
  ASSERT_TRUE(p->wait_for("Dsave"));
  p->type(dir.file("out.bin") + " 80020000 8000\r");
  ASSERT_TRUE(p->wait_for("(sec)"));
  quit(*p);
  EXPECT_TRUE(test::TempDir::read(dir.file("out.bin")) == data);
}

}  // namespace
}  // namespace dravel::e2e
