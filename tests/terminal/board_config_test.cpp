// The board file as people write it and get it wrong, where it is looked for, and the log
// name's time fields.
#include "terminal/board_config.h"

#include <gtest/gtest.h>

#include <string>

#include "terminal/board_config_path.h"

namespace dravel {
namespace {

constexpr const char* HOME = "/home/ann";

TEST(BoardConfig, ReadsEveryKeyAsWritten) {
  const char* text =
      "# lab boards\r\n"
      "\n"
      "  [lab7]\n"
      "device = rfc2217://lab-7.example:3001\n"
      "baud=115200\n"
      "\tlog =  ~/logs/lab7-%Y%m%d-%H%M%S.log  \n"
      "history = /var/tmp/a # b.his\n"
      "script = ~/reset.scr\n"
      "script = boot.scr\n"
      "timestamps = delta\n"
      "[ bare ]\n"
      "[COM.3_x-y]\n"
      "device = COM3\n";
  BoardFileResult r = parse_board_config(text, "b.conf", HOME);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.file.boards.size(), 3u);
  const Board& b = r.file.boards[0];
  EXPECT_EQ(b.name, "lab7");
  EXPECT_EQ(b.line, 3);
  EXPECT_EQ(b.device, "rfc2217://lab-7.example:3001");
  EXPECT_EQ(b.baud, 115200);
  EXPECT_EQ(b.log, "/home/ann/logs/lab7-%Y%m%d-%H%M%S.log");
  EXPECT_EQ(b.history, "/var/tmp/a # b.his");
  EXPECT_EQ(b.scripts, (std::vector<std::string>{"/home/ann/reset.scr", "boot.scr"}));
  EXPECT_EQ(b.timestamps, StampMode::Delta);
  EXPECT_EQ(r.file.boards[1].name, "bare");
  EXPECT_EQ(r.file.boards[1].baud, 0);
  EXPECT_FALSE(r.file.boards[1].timestamps);
  EXPECT_EQ(board_names(r.file), (std::vector<std::string>{"lab7", "bare", "COM.3_x-y"}));

  EXPECT_EQ(find_board(r.file, "COM.3_x-y").board->device, "COM3");
  BoardLookup unknown = find_board(r.file, "lab8");
  EXPECT_EQ(unknown.board, nullptr);
  EXPECT_EQ(unknown.error, "no board \"lab8\" in b.conf; the boards there: lab7 bare COM.3_x-y");
  EXPECT_EQ(find_board(BoardFile{"e.conf", {}}, "x").error,
            "no board \"x\" in e.conf (it names no boards)");
}

TEST(BoardConfig, EachFaultNamesFileLineAndWhat) {
  struct Case {
    std::string text;
    const char* error;
    const char* home = HOME;
  };
  const Case cases[] = {
      {"device = /dev/ttyS0\n", "f:1: device before any [NAME]: settings belong to a board"},
      {"[a]\n\nspeed = 9600\n",
       "f:3: unknown key \"speed\" (keys: device, baud, log, history, script, timestamps)"},
      {"[a]\ndevice /dev/ttyS0\n",
       "f:2: expected \"key = value\", \"[NAME]\" or a # comment, found \"device /dev/ttyS0\""},
      {"[a]\ndevice =\n", "f:2: device has no value"},
      {"[a]\ndevice = x\n# again\ndevice = y\n", "f:4: device set again in [a] (first at line 2)"},
      {"[a]\n[b]\n[a]\n", "f:3: board [a] again (first at line 1)"},
      {"[a\n", "f:1: a board's name ends with ]: \"[a\""},
      {"[a] # x\n", "f:1: a board's name ends with ]: \"[a] # x\""},
      {"[]\n", "f:1: a board with no name: []"},
      {"[lab 7]\n", "f:1: board name \"lab 7\": use letters, digits, - _ and . only"},
      {"[a]\nbaud = fast\n",
       "f:2: baud \"fast\" is not a rate (a whole number from 1 to 100000000)"},
      {"[a]\nbaud = 0\n", "f:2: baud \"0\" is not a rate (a whole number from 1 to 100000000)"},
      {"[a]\nbaud = -9600\n",
       "f:2: baud \"-9600\" is not a rate (a whole number from 1 to 100000000)"},
      {"[a]\nbaud = 99999999999999999999999\n",
       "f:2: baud \"99999999999999999999999\" is not a rate (a whole number from 1 to 100000000)"},
      {"[a]\ntimestamps = ABS\n", "f:2: timestamps \"ABS\": use abs, delta, iso or off"},
      {"[a]\nlog = x-%Q.log\n",
       "f:2: log \"x-%Q.log\": %Q is not a time field (fields: %Y %y %m %d %H %M %S %j %F %T %a %b "
       "%%)"},
      {"[a]\nlog = x%\n",
       "f:2: log \"x%\": a lone % at the end (fields: %Y %y %m %d %H %M %S %j %F %T %a %b %%)"},
      {"[a]\nhistory = ~/h\n", "f:2: history \"~/h\" starts with ~/ but no home directory is known",
       ""},
      {"[a]\ndevice = a\x1b[2Jb\n", "f:2: a control character in \"device = a\\x1B[2Jb\""},
      {std::string("[a]\n\0\n", 6), "f:2: a control character in \"\\x00\""},
  };
  for (const Case& c : cases) {
    BoardFileResult r = parse_board_config(c.text, "f", c.home);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.error, c.error);
    EXPECT_TRUE(r.file.boards.empty());
  }
  const std::string long_line = "[a]\ndevice = " + std::string(BOARD_LINE_LIMIT, 'x') + "\n";
  std::string many;
  for (std::size_t i = 0; i <= BOARD_COUNT_LIMIT; ++i) many += "[b" + std::to_string(i) + "]\n";
  EXPECT_EQ(parse_board_config(many, "f", HOME).error, "f:1001: more than 1000 boards");
  EXPECT_EQ(parse_board_config(long_line, "f", HOME).error,
            "f:2: a line longer than 4096 characters");
}

TEST(BoardConfig, PlaceFollowsThePlatformAndAMissingFileCountsOnlyWhenNamed) {
  struct Case {
    ConfigEnv env;
    const char* option;
    const char* path;
    bool named;
  };
  const Case cases[] = {
      {{false, "/x/cfg", HOME, ""}, "", "/x/cfg/dravel/boards.conf", false},
      {{false, "", HOME, ""}, "", "/home/ann/.config/dravel/boards.conf", false},
      {{false, "rel/cfg", HOME, ""}, "", "/home/ann/.config/dravel/boards.conf", false},
      {{false, "", "", ""}, "", "", false},
      {{false, "/x/cfg", HOME, ""}, "~/my.conf", "/home/ann/my.conf", true},
      {{false, "", "", ""}, "my.conf", "my.conf", true},
      {{true, "", "C:\\Users\\ann", "C:\\Users\\ann\\AppData\\Roaming"},
       "",
       "C:\\Users\\ann\\AppData\\Roaming\\dravel\\boards.conf",
       false},
      {{true, "", "", ""}, "", "", false},
      {{true, "", "", ""}, "D:\\b.conf", "D:\\b.conf", true},
  };
  for (const Case& c : cases) {
    ConfigPath p = choose_config_path(c.option, c.env);
    EXPECT_EQ(p.path, c.path) << c.option;
    EXPECT_EQ(p.named, c.named) << c.path;
  }

  const FileText missing{FileText::Status::Missing, "", "No such file or directory"};
  BoardFileResult quiet = load_board_file({"/h/.config/dravel/boards.conf", false}, missing, HOME);
  EXPECT_TRUE(quiet.ok);
  EXPECT_TRUE(quiet.file.boards.empty());
  BoardFileResult named = load_board_file({"my.conf", true}, missing, HOME);
  EXPECT_FALSE(named.ok);
  EXPECT_EQ(named.error, "my.conf: No such file or directory");
  const FileText denied{FileText::Status::Failed, "", "Permission denied"};
  EXPECT_EQ(load_board_file({"b.conf", false}, denied, HOME).error, "b.conf: Permission denied");
  const FileText read{FileText::Status::Read, "[a]\nbaud = 9600\n", ""};
  EXPECT_EQ(load_board_file({"b.conf", false}, read, HOME).file.boards.at(0).baud, 9600);

  EXPECT_EQ(read_board_file("/nonexistent-dravel/boards.conf").status, FileText::Status::Missing);
#ifndef _WIN32
  FileText dir = read_board_file("/");
  EXPECT_EQ(dir.status, FileText::Status::Failed);
  EXPECT_FALSE(dir.reason.empty());
#endif
}

TEST(TimeFields, FillsTheLogName) {
  LocalTime t;
  t.year = 2026, t.month = 12, t.day = 9, t.hour = 13, t.minute = 5, t.second = 59;
  t.weekday = 3, t.year_day = 342;
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"lab7-%Y%m%d-%H%M%S.log", "lab7-20261209-130559.log"},
      {"%F_%T %a %b %j %y 100%%", "2026-12-09_13:05:59 Wed Dec 343 26 100%"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const Case& c : cases) {
    TimeFieldsResult r = expand_time_fields(c.pattern, t);
    EXPECT_EQ(r.error, "") << c.pattern;
    EXPECT_EQ(r.text, c.text);
  }
  EXPECT_NE(expand_time_fields("%Y%Y%Y", t, 10).error, "");
  EXPECT_EQ(expand_time_fields("%Y%Y", t, 10).text, "20262026");
}

}  // namespace
}  // namespace dravel
