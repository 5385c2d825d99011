// Loads the monitor asks for, between the built dravel and krvbsim on real ptys.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e/pty_harness.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr std::uint32_t PROGRAM = 0x80010000;
constexpr std::uint32_t DUMP_SIZE = 0x400;

class LoaderE2E : public ::testing::Test {
 protected:
  // krvbsim on the test's pty, running dravel on a second pty it serves as the serial line.
  std::unique_ptr<PtyProcess> start(const std::vector<std::string>& sim_options,
                                    const std::vector<std::string>& dravel_options = {}) {
    std::vector<std::string> args = sim_options;
    char dump[64];
    std::snprintf(dump, sizeof dump, "%x:%x:", PROGRAM, DUMP_SIZE);
    for (const std::string& a : {std::string("--dump"), dump + dir.file("memory"),
                                 std::string("--regs"), dir.file("regs")})
      args.push_back(a);
    return dravel_on_krvbsim(std::move(args), dir.file("his"), dravel_options);
  }
  std::uint32_t reg(const std::string& name) {
    std::istringstream in(test::TempDir::read(dir.file("regs")));
    for (std::string n, v; in >> n >> v;)
      if (n == name) return static_cast<std::uint32_t>(std::stoul(v, nullptr, 16));
    ADD_FAILURE() << "no register " << name;
    return 0;
  }
  void expect_program_in_memory(const std::string& srec_file = "") {
    std::string memory = test::TempDir::read(dir.file("memory"));
    ASSERT_EQ(memory.size(), DUMP_SIZE);
    for (auto [address, byte] :
         test::srec_image(test::TempDir::read(srec_file.empty() ? mot : srec_file)))
      ASSERT_EQ(static_cast<std::uint8_t>(memory[address - PROGRAM]), byte) << std::hex << address;
  }
  // ESC ends dravel; krvbsim then writes its files and ends with dravel's status.
  void finish(PtyProcess& p) {
    p.type("\x1b");
    EXPECT_EQ(p.wait_exit(), 1);
  }

  test::TempDir dir;
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
};

TEST_F(LoaderE2E, FileRequestLoadsTheFileTheMonitorNames) {
  // The board may name files inside the load directory only.
  auto p = start({"--baud", "115200"}, {"--load-dir", std::string(DRAVEL_FIXTURES) + "/loader"});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("fload hello.mot\r");
  ASSERT_TRUE(p->wait_for("\"hello.mot\" send "));
  finish(*p);
  expect_program_in_memory();
  EXPECT_EQ(reg("epc"), 0x80010044u);
}

TEST_F(LoaderE2E, DataRequestAsksTheUserForTheFile) {
  auto p = start({});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("lreq\r");
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(mot + "\r");
  ASSERT_TRUE(p->wait_for("\"" + mot + "\" send "));
  finish(*p);
  expect_program_in_memory();
  EXPECT_EQ(reg("epc"), 0x80010044u);
}

// F4 with an ELF from ld's default link: its sections land as their S-records do, and the
// registers are set from the file; the monitor sees a COFF load's exchange.
TEST_F(LoaderE2E, F4LoadsAnElfExecutable) {
  const std::string fixtures = std::string(DRAVEL_FIXTURES) + "/loader/";
  const std::string elf = fixtures + "hello_default.elf";
  auto p = start({"--baud", "115200"});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("\x1bOS");  // F4
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(elf + "\r");
  ASSERT_TRUE(p->wait_for("  PC=80010044, GP=80018130, SP=801ffff0")) << p->output();
  ASSERT_TRUE(p->wait_for_after("SP=801ffff0", ">>"));
  finish(*p);
  expect_program_in_memory(fixtures + "hello_default.mot");
  EXPECT_EQ(reg("epc"), 0x80010044u);
  EXPECT_EQ(reg("gp"), 0x80018130u);
  EXPECT_EQ(reg("sp"), 0x801FFFF0u);
}

}  // namespace
}  // namespace dravel::e2e
