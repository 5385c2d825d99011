// dravel in a real terminal: krvbsim runs it in a tmux pane, keys come from tmux's own key
// table and the checks read the screen the user would see.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "e2e/tmux_driver.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr std::uint32_t PROGRAM = 0x80010000;
constexpr std::uint32_t DUMP_SIZE = 0x400;
const std::string MONITOR_READY = "type help for commands\n>>";

class TmuxE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxPane::available()) GTEST_SKIP() << "tmux is not installed";
    std::filesystem::copy_file(mot_source, dir.file("hello.mot"));
  }

  // krvbsim running dravel in the pane.
  void start(const std::vector<std::string>& sim_options = {}) {
    std::vector<std::string> command = {KRVBSIM_BIN, "--regs", dir.file("regs"), "--wire-log",
                                        dir.file("wire")};
    command.insert(command.end(), sim_options.begin(), sim_options.end());
    command.push_back("--");
    command.push_back(DRAVEL_BIN);
    pane = std::make_unique<TmuxPane>(
        command, dir.path(),
        std::vector<std::string>{"DRAVELHIS=" + dir.file("his"), "KRVB7100=2f8,3,57600"});
    ASSERT_TRUE(pane->wait_for(MONITOR_READY)) << pane->screen();
  }

  // Ends with `status`, with the terminal left as it was found.
  void expect_exit(int status) {
    EXPECT_EQ(pane->wait_exit(), status) << pane->screen();
    EXPECT_TRUE(pane->terminal_restored());
  }

  // What the board received, as the wire log's hex: " 68 65 ...".
  std::string from_host() {
    std::istringstream wire(test::TempDir::read(dir.file("wire")));
    std::string hex;
    for (std::string line; std::getline(wire, line);)
      if (line.starts_with("H>M")) hex += line.substr(3, line.find("  ") - 3);
    return hex;
  }
  static std::string hex_of(const std::string& text) {
    std::string hex;
    char byte[4];
    for (unsigned char c : text) {
      std::snprintf(byte, sizeof byte, " %02x", c);
      hex += byte;
    }
    return hex;
  }

  std::string reg(const std::string& name) {
    std::istringstream in(test::TempDir::read(dir.file("regs")));
    for (std::string n, v; in >> n >> v;)
      if (n == name) return v;
    return "";
  }

  test::TempDir dir;
  std::string mot_source = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  std::unique_ptr<TmuxPane> pane;
};

TEST_F(TmuxE2E, HelpScreensFromF1AndThePrefixedF1sThenF10F2Quits) {
  start();
  pane->keys({"F1"});
  ASSERT_TRUE(pane->wait_for("more ?(y/N)")) << pane->screen();
  EXPECT_TRUE(pane->wait_for("[F10]+ help  quit        dsave"));
  pane->type("y");
  ASSERT_TRUE(pane->wait_for("  F10 F2  - exit this program          |  quit")) << pane->screen();
  EXPECT_TRUE(pane->wait_for("pause [<strings>]"));

  pane->keys({"F9", "F1"});
  ASSERT_TRUE(pane->wait_for("    F9 F5   - logging stop")) << pane->screen();
  pane->keys({"F10", "F1"});
  ASSERT_TRUE(pane->wait_for("    F10 F4  - binary file up load")) << pane->screen();

  // Any answer but y leaves the long help out and shows the key.
  pane->keys({"F1"});
  ASSERT_TRUE(pane->wait_for("more ?(y/N)")) << pane->screen();
  pane->type("n");
  ASSERT_TRUE(pane->wait_for("more ?(y/N) n\n")) << pane->screen();

  pane->keys({"F10", "F2"});
  expect_exit(0);
}

TEST_F(TmuxE2E, CursorKeysStayOffTheLineAndEscBreaksAndEnds) {
  start();
  pane->keys({"Up", "Down", "Left", "Right"});
  ASSERT_TRUE(pane->wait_for(">> ?\n?\n?\n?\n")) << pane->screen();
  pane->type("help");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("binary mode, memory to host")) << pane->screen();
  pane->keys({"Escape"});
  ASSERT_TRUE(pane->wait_for("Terminate by user!")) << pane->screen();
  expect_exit(1);

  // The board heard the typed line and the break, never a key's escape sequence.
  std::string sent = from_host();
  EXPECT_EQ(sent.find(" 1b"), std::string::npos) << sent;
  EXPECT_NE(sent.find(hex_of("help\r")), std::string::npos) << sent;
  EXPECT_TRUE(sent.ends_with(" 03")) << sent;
}

TEST_F(TmuxE2E, F4LoadsAFileIntoTheBoard) {
  char dump[64];
  std::snprintf(dump, sizeof dump, "%x:%x:", PROGRAM, DUMP_SIZE);
  start({"--dump", dump + dir.file("memory")});
  pane->keys({"F4"});
  ASSERT_TRUE(pane->wait_for("Load[1]:")) << pane->screen();
  pane->type("hello.mot");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("\"hello.mot\" send")) << pane->screen();
  ASSERT_TRUE(pane->wait_for("start 80010044\n>>")) << pane->screen();
  pane->keys({"F10", "F2"});
  expect_exit(0);

  std::string memory = test::TempDir::read(dir.file("memory"));
  ASSERT_EQ(memory.size(), DUMP_SIZE);
  for (auto [address, byte] : test::srec_image(test::TempDir::read(mot_source)))
    ASSERT_EQ(static_cast<std::uint8_t>(memory[address - PROGRAM]), byte) << std::hex << address;
  EXPECT_EQ(reg("epc"), "80010044");
  EXPECT_EQ(test::TempDir::read(dir.file("his")), "hello.mot\n");
}

TEST_F(TmuxE2E, F5LogsF3RunsAScriptAndKeysWithoutACommandAreRefused) {
  dir.write("boot.scr", "local echo script running\nsr gp 1f03\n");
  start();
  pane->keys({"F5"});
  ASSERT_TRUE(pane->wait_for("Log[1]:")) << pane->screen();
  pane->type("session.log");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("start log into \"session.log\"")) << pane->screen();

  pane->keys({"F3"});
  ASSERT_TRUE(pane->wait_for("Auto[2]:")) << pane->screen();
  pane->type("boot.scr");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("script running")) << pane->screen();
  // The script's line for the monitor goes at the monitor's next prompt.
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for(">> sr gp 1f03\n>>")) << pane->screen();

  pane->keys({"F9", "F5"});
  ASSERT_TRUE(pane->wait_for("log off")) << pane->screen();
  pane->keys({"F7", "F11", "F12"});
  ASSERT_TRUE(pane->wait_for("?\n?\n?\n")) << pane->screen();
  pane->keys({"F10", "F2"});
  expect_exit(0);

  EXPECT_EQ(reg("gp"), "00001f03");
  std::string log = test::TempDir::read(dir.file("session.log"));
  EXPECT_NE(log.find("local auto boot.scr\n"), std::string::npos) << log;
  EXPECT_NE(log.find("sr gp 1f03"), std::string::npos) << log;
}

TEST_F(TmuxE2E, EditModeSendsEditedLinesAndRecallsThem) {
  start();
  pane->keys({"F8"});
  // The local editor opens at the monitor's next prompt.
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("[1]>>")) << pane->screen();
  pane->type("sr gp 1f00");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("[2]>>")) << pane->screen();

  // ^E recalls it; Backspace arrives as DEL and edits the recalled line.
  pane->keys({"C-e"});
  ASSERT_TRUE(pane->wait_for("[1/1]>>sr gp 1f00")) << pane->screen();
  pane->keys({"BSpace"});
  pane->type("1");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("[3]>>")) << pane->screen();

  // A cursor key ends the line: the text is kept in the history only, the key is a command.
  pane->type("abc");
  pane->keys({"Up"});
  ASSERT_TRUE(pane->wait_for(">>abc?\n")) << pane->screen();
  ASSERT_TRUE(pane->wait_for("[4]>>")) << pane->screen();
  pane->type("his");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("   3: abc")) << pane->screen();

  // F8 at the local prompt switches back; keys then go straight to the monitor.
  pane->keys({"F8"});
  pane->type("sr gp 1f02");
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->wait_for("sr gp 1f02\n>>")) << pane->screen();
  pane->keys({"F10", "F2"});
  expect_exit(0);

  EXPECT_NE(from_host().find(hex_of("sr gp 1f00\rsr gp 1f01\r")), std::string::npos);
  EXPECT_EQ(reg("gp"), "00001f02");
  EXPECT_EQ(test::TempDir::read(dir.file("his")), "sr gp 1f00\nsr gp 1f01\nabc\n");
}

}  // namespace
}  // namespace dravel::e2e
