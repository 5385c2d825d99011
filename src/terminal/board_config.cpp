#include "terminal/board_config.h"

#include <cstdio>

namespace dravel {

namespace {

constexpr std::string_view SPACE = " \t";

std::string_view trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(SPACE);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(SPACE) - first + 1);
}

// Names a person can type on the command line and read in a list.
bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

// Shown in a message: printable as it is, anything else as \xNN, cut short when long.
std::string shown(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size() && i < 60; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + (s.size() > 60 ? "...\"" : "\"");
}

enum class Key : std::uint8_t { Device, Baud, Log, History, Script, Timestamps };
struct KeyName {
  Key key;
  const char* name;
};
constexpr KeyName KEYS[] = {{Key::Device, "device"}, {Key::Baud, "baud"},
                            {Key::Log, "log"},       {Key::History, "history"},
                            {Key::Script, "script"}, {Key::Timestamps, "timestamps"}};
constexpr const char* KEY_LIST = "device, baud, log, history, script, timestamps";

class Reader {
 public:
  Reader(const std::string& path, const std::string& home) : home_(home) { file_.path = path; }

  // False with error_ set at the first fault.
  bool line(std::string_view text, int number);
  BoardFileResult result() &&;

 private:
  bool fail(std::string what) {
    error_ = file_.path + ":" + std::to_string(line_) + ": " + std::move(what);
    return false;
  }
  bool section(std::string_view text);
  bool setting(std::string_view key, std::string_view value);
  bool path_value(std::string_view key, std::string_view value, std::string& into);

  const std::string& home_;
  std::string error_;
  BoardFile file_;
  int line_ = 0;
  int seen_[6] = {};  // the line each single key of the current board was set on
};

bool Reader::line(std::string_view raw, int number) {
  line_ = number;
  if (number > BOARD_LINES_LIMIT)
    return fail("more than " + std::to_string(BOARD_LINES_LIMIT) + " lines");
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // a file written on Windows
  if (raw.size() > BOARD_LINE_LIMIT)
    return fail("a line longer than " + std::to_string(BOARD_LINE_LIMIT) + " characters");
  for (char c : raw)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
      return fail("a control character in " + shown(raw));
  const std::string_view text = trimmed(raw);
  if (text.empty() || text.front() == '#') return true;
  if (text.front() == '[') return section(text);
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    return fail("expected \"key = value\", \"[NAME]\" or a # comment, found " + shown(text));
  return setting(trimmed(text.substr(0, eq)), trimmed(text.substr(eq + 1)));
}

bool Reader::section(std::string_view text) {
  if (text.back() != ']') return fail("a board's name ends with ]: " + shown(text));
  const std::string_view name = trimmed(text.substr(1, text.size() - 2));
  if (name.empty()) return fail("a board with no name: []");
  for (char c : name)
    if (!is_name_char(c))
      return fail("board name " + shown(name) + ": use letters, digits, - _ and . only");
  if (file_.boards.size() == BOARD_COUNT_LIMIT)
    return fail("more than " + std::to_string(BOARD_COUNT_LIMIT) + " boards");
  for (const Board& b : file_.boards)
    if (b.name == name)
      return fail("board [" + std::string(name) + "] again (first at line " +
                  std::to_string(b.line) + ")");
  file_.boards.push_back(Board{});
  file_.boards.back().name = name;
  file_.boards.back().line = line_;
  for (int& s : seen_) s = 0;
  return true;
}

bool Reader::path_value(std::string_view key, std::string_view value, std::string& into) {
  if (value.starts_with("~/")) {
    if (home_.empty())
      return fail(std::string(key) + " " + shown(value) +
                  " starts with ~/ but no home directory is known");
    into = home_ + std::string(value.substr(1));
  } else {
    into = value;
  }
  return true;
}

bool Reader::setting(std::string_view key_text, std::string_view value) {
  const KeyName* key = nullptr;
  for (const KeyName& k : KEYS)
    if (key_text == k.name) key = &k;
  if (key == nullptr) return fail("unknown key " + shown(key_text) + " (keys: " + KEY_LIST + ")");
  if (file_.boards.empty())
    return fail(std::string(key->name) + " before any [NAME]: settings belong to a board");
  if (value.empty()) return fail(std::string(key->name) + " has no value");
  Board& b = file_.boards.back();
  int& seen = seen_[static_cast<int>(key->key)];
  if (key->key != Key::Script && seen != 0)
    return fail(std::string(key->name) + " set again in [" + b.name + "] (first at line " +
                std::to_string(seen) + ")");
  seen = line_;
  switch (key->key) {
    case Key::Device:
      b.device = value;
      return true;
    case Key::Baud: {
      long baud = 0;
      for (char c : value) {
        if (c < '0' || c > '9' || baud > BOARD_BAUD_LIMIT) {
          baud = 0;
          break;
        }
        baud = baud * 10 + (c - '0');
      }
      if (baud <= 0 || baud > BOARD_BAUD_LIMIT)
        return fail("baud " + shown(value) + " is not a rate (a whole number from 1 to " +
                    std::to_string(BOARD_BAUD_LIMIT) + ")");
      b.baud = baud;
      return true;
    }
    case Key::Log: {
      if (!path_value(key->name, value, b.log)) return false;
      const TimeFieldsResult check = expand_time_fields(b.log, LocalTime{});
      if (!check.error.empty()) return fail("log " + shown(value) + ": " + check.error);
      return true;
    }
    case Key::History:
      return path_value(key->name, value, b.history);
    case Key::Script:
      b.scripts.emplace_back();
      return path_value(key->name, value, b.scripts.back());
    case Key::Timestamps:
      b.timestamps = parse_stamp_mode(value);
      if (!b.timestamps) return fail("timestamps " + shown(value) + ": use abs, delta, iso or off");
      return true;
  }
  return true;
}

BoardFileResult Reader::result() && {
  BoardFileResult r;
  r.ok = error_.empty();
  r.error = std::move(error_);
  if (r.ok) r.file = std::move(file_);
  return r;
}

}  // namespace

BoardFileResult parse_board_config(std::string_view text, const std::string& path,
                                   const std::string& home) {
  Reader reader(path, home);
  int number = 0;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::string_view line = text.substr(0, lf);
    text = lf == std::string_view::npos ? std::string_view{} : text.substr(lf + 1);
    if (!reader.line(line, ++number)) break;
  }
  return std::move(reader).result();
}

BoardLookup find_board(const BoardFile& file, std::string_view name) {
  BoardLookup r;
  for (const Board& b : file.boards)
    if (b.name == name) {
      r.board = &b;
      return r;
    }
  r.error = "no board " + shown(name) + " in " + file.path;
  if (file.boards.empty()) {
    r.error += " (it names no boards)";
    return r;
  }
  r.error += "; the boards there:";
  for (const Board& b : file.boards) r.error += " " + b.name;
  return r;
}

std::vector<std::string> board_names(const BoardFile& file) {
  std::vector<std::string> names;
  for (const Board& b : file.boards) names.push_back(b.name);
  return names;
}

}  // namespace dravel
