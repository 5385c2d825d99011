// The help screens are written by hand beside the command table; these checks hold them to
// it, so a row added (or removed) without its help line fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/help_screens.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

// Spellings the help has never shown: aliases kept for old scripts and the words the help
// keys themselves run. Any other word a row answers to must be in the long help.
const std::set<std::string> UNLISTED_WORDS = {"helpf9", "helpf10", "lds", "ld", "edittgl"};

std::string without_colour(std::string text) {
  for (std::size_t at; (at = text.find('\x1b')) != std::string::npos;)
    text.erase(at, text.find('m', at) - at + 1);
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(without_colour(text));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The words the long help's right column starts its entries with; "dos{sh,!}" gives three.
std::set<std::string> long_help_words() {
  std::set<std::string> words;
  for (const std::string& line : lines_of(LONG_HELP_SCREEN)) {
    const auto bar = line.find('|');
    if (bar == std::string::npos) continue;
    std::istringstream entry(line.substr(bar + 1));
    std::string word;
    if (!(entry >> word) || word[0] == '-') continue;  // the rule under the titles
    const auto brace = word.find('{');
    if (brace == std::string::npos) {
      words.insert(word);
      continue;
    }
    words.insert(word.substr(0, brace));
    std::istringstream others(word.substr(brace + 1, word.find('}') - brace - 1));
    for (std::string other; std::getline(others, other, ',');) words.insert(other);
  }
  return words;
}

// The key map as cells: for each prefix line (none, F9, F10) the word under each key's
// column header, "" where there is none. Columns are found from the header's "[Fn]".
struct KeyMap {
  std::vector<std::string> lines;  // header, then one per prefix
  std::string cell(int prefix, int function_number) const {
    const std::string label = "[F" + std::to_string(function_number) + "]";
    const auto column = lines[0].find(label);
    if (column == std::string::npos) return "";
    const std::string& line = lines[static_cast<std::size_t>(prefix) + 1];
    // The word that overlaps the column, wherever it starts.
    for (std::size_t at = column; at < column + label.size() && at < line.size(); ++at) {
      if (line[at] == ' ') continue;
      std::size_t begin = at, end = at;
      while (begin > 0 && line[begin - 1] != ' ') --begin;
      while (end < line.size() && line[end] != ' ') ++end;
      return line.substr(begin, end - begin);
    }
    return "";
  }
};

int function_number(KeyCode k) {
  return k >= key::F1 && k <= key::F10 ? k - key::F1 + 1 : 0;
}

TEST(CommandRowsHelp, EveryWordOfARowIsInTheLongHelpAndEveryWordThereIsARow) {
  const std::set<std::string> listed = long_help_words();
  std::set<std::string> names;
  for (const CommandRow& row : COMMAND_ROWS) {
    names.insert(row.name);
    if (UNLISTED_WORDS.count(row.name) != 0) continue;
    EXPECT_EQ(listed.count(row.name), 1u) << "\"local " << row.name << "\" has no help line";
  }
  for (const std::string& word : listed)
    EXPECT_EQ(names.count(word), 1u) << "the help names \"" << word << "\", which no row runs";
}

TEST(CommandRowsHelp, EveryKeyOfARowIsInTheKeyMapAndEveryKeyThereIsARow) {
  const KeyMap map{lines_of(KEY_MAP_SCREEN)};
  ASSERT_GE(map.lines.size(), 4u);
  for (const CommandRow& row : COMMAND_ROWS) {
    // A key may serve under several prefixes (F8 under all three); the map shows it once.
    for (KeyCode k : row.keys) {
      if (k == 0) continue;
      bool shown = false;
      for (int prefix : {PREFIX_NONE, PREFIX_F9, PREFIX_F10})
        shown = shown || (row.keys[static_cast<std::size_t>(prefix)] == k &&
                          !map.cell(prefix, function_number(k)).empty());
      EXPECT_TRUE(shown) << "the key of \"" << row.name << "\" is not in the key map";
    }
  }
  for (int prefix : {PREFIX_NONE, PREFIX_F9, PREFIX_F10}) {
    for (int n = 1; n <= 10; ++n) {
      const std::string cell = map.cell(prefix, n);
      if (cell.empty() || cell == "-") continue;  // "-": F9 and F10 are prefixes themselves
      const auto k = static_cast<KeyCode>(key::F1 + n - 1);
      const bool bound = std::any_of(COMMAND_ROWS.begin(), COMMAND_ROWS.end(), [&](auto& row) {
        return row.keys[static_cast<std::size_t>(prefix)] == k;
      });
      EXPECT_TRUE(bound) << "the key map shows \"" << cell << "\" on F" << n << " (prefix "
                         << prefix << "), which no row binds";
    }
  }
}

}  // namespace
}  // namespace dravel::test
