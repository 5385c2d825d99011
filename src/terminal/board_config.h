#pragma once
// Named boards: a file of sections, one a board, each with the settings a user would
// otherwise type every time. The format, for people:
//
//   # a comment (a whole line; a # inside a value is part of it)
//   [lab7]
//   device = rfc2217://lab-7.example:3001
//   baud = 115200
//   log = ~/logs/lab7-%Y%m%d-%H%M%S.log
//   history = ~/.dravel/lab7.his
//   script = ~/scripts/reset.scr     (may repeat; run in order)
//   timestamps = abs                 (abs, delta, iso or off)
//
// Values are taken as written (spaces around the = and at the ends dropped); "~/" at the start
// of a path is the home directory. The file is outside input: every line is checked, and the
// first fault ends the reading with the file, the line and what is wrong.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/line_stamper.h"

namespace dravel {

struct Board {
  std::string name;
  int line = 0;  // where its [NAME] stands
  std::string device;
  long baud = 0;    // 0 when the file does not set it
  std::string log;  // strftime fields still in it (expand_time_fields)
  std::string history;
  std::vector<std::string> scripts;
  std::optional<StampMode> timestamps;
};

struct BoardFile {
  std::string path;  // as the messages name it
  std::vector<Board> boards;
};

struct BoardFileResult {
  bool ok = false;
  std::string error;  // "FILE:LINE: what is wrong" (or "FILE: ..." for the file as a whole)
  BoardFile file;
};

// Reads the text of `path`. `home` fills "~/" (empty: a "~/" path is an error).
BoardFileResult parse_board_config(std::string_view text, const std::string& path,
                                   const std::string& home);

// Limits on the file; past them it is not a board file.
inline constexpr std::size_t BOARD_LINE_LIMIT = 4096;
inline constexpr int BOARD_LINES_LIMIT = 100'000;
inline constexpr std::size_t BOARD_COUNT_LIMIT = 1000;  // names are compared one by one
inline constexpr long BOARD_BAUD_LIMIT = 100'000'000;

struct BoardLookup {
  const Board* board = nullptr;
  std::string error;  // names the file and the boards it knows
};
BoardLookup find_board(const BoardFile& file, std::string_view name);

// The names of the boards, in file order, for --list.
std::vector<std::string> board_names(const BoardFile& file);

}  // namespace dravel
