// A script named on dravel's command line drives krvbsim over real ptys.
#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

#include "e2e/pty_harness.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr std::uint32_t PROGRAM = 0x80010000;
constexpr std::uint32_t DUMP_SIZE = 0x400;

// The wire log back as runs of bytes, each with its direction ('H' host to monitor, 'M' back).
std::vector<std::pair<char, std::string>> read_wire_log(const std::string& text) {
  std::vector<std::pair<char, std::string>> runs;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 4 || (line.compare(0, 3, "H>M") != 0 && line.compare(0, 3, "M>H") != 0))
      continue;
    char dir = line[0];
    if (runs.empty() || runs.back().first != dir) runs.emplace_back(dir, "");
    // 16 columns of " hh", then the text column.
    for (std::size_t at = 3; at + 3 <= line.size() && at < 3 + 16 * 3; at += 3) {
      std::string hex = line.substr(at + 1, 2);
      if (hex == "  ") break;
      runs.back().second += static_cast<char>(std::stoi(hex, nullptr, 16));
    }
  }
  return runs;
}

TEST(AutoE2E, StartupScriptLoadsAProgramSendsMonitorCommandsAndEnds) {
  test::TempDir dir;
  const std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  std::string script = dir.write(
      "boot.scr", "local load " + mot + "\ndw 80010000 4\nlocal wait-prompt\nlocal quit\n");
  char dump[64];
  std::snprintf(dump, sizeof dump, "%x:%x:", PROGRAM, DUMP_SIZE);
  PtyProcess p(KRVBSIM_BIN,
               {"--wire-log", dir.file("wire"), "--dump", dump + dir.file("memory"), "--",
                DRAVEL_BIN, script},
               {"DRAVELHIS=" + dir.file("his")});
  ASSERT_EQ(p.wait_exit(), 0) << p.output();

  std::string memory = test::TempDir::read(dir.file("memory"));
  ASSERT_EQ(memory.size(), DUMP_SIZE);
  for (auto [address, byte] : test::srec_image(test::TempDir::read(mot)))
    ASSERT_EQ(static_cast<std::uint8_t>(memory[address - PROGRAM]), byte) << std::hex << address;

  auto runs = read_wire_log(test::TempDir::read(dir.file("wire")));
  std::string host;
  std::vector<std::size_t> run_of_host_byte;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].first != 'H') continue;
    host += runs[i].second;
    run_of_host_byte.resize(host.size(), i);
  }
  // The load, each record with LF alone, then the monitor command; nothing after it.
  std::string records = test::TempDir::read(mot);
  for (std::size_t at; (at = records.find("\r\n")) != std::string::npos;) records.erase(at, 1);
  EXPECT_EQ(host, "ld2\rG\n" + records + "dw 80010000 4\r");

  // The command left only after the monitor's prompt, and the monitor answered it.
  std::size_t dw = host.find("dw 80010000 4\r");
  ASSERT_NE(dw, std::string::npos);
  std::size_t dw_run = run_of_host_byte[dw];
  ASSERT_GT(dw, 0u);
  ASSERT_NE(run_of_host_byte[dw - 1], dw_run);  // the monitor spoke in between
  const std::string& before = runs[dw_run - 1].second;
  ASSERT_GE(before.size(), 3u);
  EXPECT_EQ(before.substr(before.size() - 3), ">> ");
  std::string after;
  for (std::size_t i = dw_run + 1; i < runs.size(); ++i) after += runs[i].second;
  EXPECT_NE(after.find("80010000"), std::string::npos) << after;
  EXPECT_NE(p.output().find("dw 80010000 4"), std::string::npos);
}

}  // namespace
}  // namespace dravel::e2e
