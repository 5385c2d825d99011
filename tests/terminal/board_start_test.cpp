// -b at start-up, through the whole program: what the board file says is opened, and what the
// command line or the environment gives wins over it; a board that cannot be used opens nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/rig.h"

namespace dravel::test {
namespace {

// The board file at the platform's usual place (XDG_CONFIG_HOME, %APPDATA%), and scripts.
struct BoardDir {
  TempDir dir;
  std::string reset = dir.write("reset.scr", "local echo reset\n");
  std::string boot = dir.write("boot.scr", "local echo boot\n");
  std::string file =
      dir.path() + (platform::WINDOWS ? "\\dravel\\boards.conf" : "/dravel/boards.conf");
  // Points the rig's environment at it.
  void place(Rig& rig) const {
    rig.env[platform::WINDOWS ? "APPDATA" : "XDG_CONFIG_HOME"] = dir.path();
  }

  void write_boards(const std::string& text) const {
    std::filesystem::create_directories(dir.path() + "/dravel");
    dir.write("dravel/boards.conf", text);
  }
  void write_lab7() const {
    write_boards(
        "# the lab\n[desk]\ndevice = /dev/desk\n\n[lab7]\ndevice = /dev/board7\n"
        "baud = 115200\nhistory = " +
        dir.file("lab7.his") + "\nscript = " + reset + "\ntimestamps = delta\n");
  }
};

// Runs dravel to its first pass, where ESC ends it.
int run_once(Rig& rig, const BoardDir& boards, const std::vector<std::string>& args) {
  boards.place(rig);
  rig.console.type("\x1b");
  return rig.run(args);
}

TEST(BoardStart, TheCommandLineAndTheEnvironmentWinOverTheFile) {
  BoardDir boards;
  boards.write_lab7();
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string device;
    long baud;
    std::string history;  // "" for the board's
  };
  const std::string cli_history = boards.dir.file("cli.his");
  const Case cases[] = {
      {{"-b", "lab7"}, {}, "/dev/board7", 115200, ""},
      {{"--board=lab7"}, {}, "/dev/board7", 115200, ""},
      {{"-blab7", "-d", "/dev/cli"}, {}, "/dev/cli", 115200, ""},
      {{"-b", "lab7"}, {{"DRAVELPORT", "/dev/env"}}, "/dev/env", 115200, ""},
      {{"-b", "lab7", "-B9600"}, {}, "/dev/board7", 9600, ""},
      {{"-b", "lab7", "-p2f8,3,38400"}, {}, "/dev/board7", 38400, ""},
      {{"-b", "lab7"}, {{"KRVB7100", "2f8,3,19200"}}, "/dev/board7", 19200, ""},
      // An I/O address alone chooses no device and no rate: the board's stand.
      {{"-b", "lab7"}, {{"KRVB7100", "3f8"}}, "/dev/board7", 115200, ""},
      {{"-b", "lab7"}, {{"DRAVELHIS", cli_history}}, "/dev/board7", 115200, cli_history},
      {{"-b", "desk"}, {{"DRAVELHIS", cli_history}}, "/dev/desk", 57600, cli_history},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args) + " " + testing::PrintToString(c.env));
    Rig rig;
    rig.history_in_env = false;
    rig.env = c.env;
    EXPECT_EQ(run_once(rig, boards, c.args), 1);  // ESC
    EXPECT_EQ(rig.serial.opened_path, c.device);
    EXPECT_EQ(rig.serial.opened_baud, c.baud);
    EXPECT_EQ(rig.s().history_path, c.history.empty() ? boards.dir.file("lab7.his") : c.history);
    EXPECT_EQ(rig.s().options.timestamps,
              c.args.back() == "desk" ? std::nullopt : std::optional(StampMode::Delta));
  }
}

// The board's scripts come first: a reset before the command line's own work.
TEST(BoardStart, TheBoardsScriptsRunBeforeTheCommandLines) {
  BoardDir boards;
  boards.write_lab7();
  Rig rig;
  EXPECT_EQ(run_once(rig, boards, {"-b", "lab7", boards.boot}), 1);
  EXPECT_EQ(rig.s().batch_progress.scripts, (std::vector<std::string>{boards.reset, boards.boot}));

  Rig batch;
  SimPeer peer;
  batch.serial.set_peer(&peer);
  boards.place(batch);
  EXPECT_EQ(batch.run({"--batch", "-b", "lab7", boards.boot}), 0);
  const std::string& screen = batch.console.screen;
  EXPECT_LT(screen.find("reset\n"), screen.find("boot\n")) << screen;
}

TEST(BoardStart, ABoardThatCannotBeUsedOpensNothing) {
  struct Case {
    const char* file;  // nullptr: none at the usual place
    std::vector<std::string> args;
    std::string said;
  };
  BoardDir b;
  const Case cases[] = {
      {"[lab7]\n[desk]\n",
       {"-b", "lab9"},
       "dravel: no board \"lab9\" in " + b.file + "; the boards there: lab7 desk\n"},
      {"[lab7]\n# rate\nbaud = fast\n", {"-b", "lab7"}, "dravel: " + b.file + ":3: baud \"fast\""},
      {nullptr, {"-b", "lab7"}, "dravel: no board \"lab7\" in " + b.file + " (it names no boards)"},
      {"[lab7]\n",
       {"-b", "lab7", "--config", b.dir.file("none.conf")},
       "dravel: " + b.dir.file("none.conf") + ": No such file or directory\n"},
      {"[lab7]\n", {"-b", "lab7", "--config", b.dir.path()}, "dravel: " + b.dir.path() + ": "},
      {"[lab7]\n",
       {"--config", b.dir.file("none.conf")},
       "dravel: " + b.dir.file("none.conf") + ": No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    BoardDir boards;
    if (c.file != nullptr) boards.write_boards(c.file);
    Rig rig;
    boards.place(rig);
    std::vector<std::string> args = c.args;
    for (std::string& a : args)  // the paths of this case's own directory
      if (a.rfind(b.dir.path(), 0) == 0) a = boards.dir.path() + a.substr(b.dir.path().size());
    std::string said = c.said;
    for (std::size_t at; (at = said.find(b.dir.path())) != std::string::npos;)
      said.replace(at, b.dir.path().size(), boards.dir.path());
    EXPECT_EQ(rig.run(args), 1);
    EXPECT_NE(rig.console.screen.find(said), std::string::npos) << rig.console.screen;
    EXPECT_EQ(rig.serial.opens, 0);
    EXPECT_EQ(rig.console.screen.find("BAUDRATE"), std::string::npos);
  }
}

TEST(BoardStart, ListShowsThePortsThenTheBoardsOrTheFilesFault) {
  BoardDir boards;
  boards.write_lab7();
  Rig rig;
  boards.place(rig);
  EXPECT_EQ(rig.run({"--list"}), 0);
  EXPECT_EQ(rig.console.screen, "no serial devices found\nboards in " + boards.file +
                                    ":\n  desk            /dev/desk\n"
                                    "  lab7            /dev/board7\n");

  boards.write_boards("[lab7]\nspeed = 9600\n");
  Rig bad;
  boards.place(bad);
  EXPECT_EQ(bad.run({"-l"}), 1);
  EXPECT_EQ(bad.console.screen.rfind(
                "no serial devices found\ndravel: " + boards.file + ":2: unknown key \"speed\"", 0),
            0u)
      << bad.console.screen;
}

}  // namespace
}  // namespace dravel::test
