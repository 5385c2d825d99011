#include "lineinput/line_editor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/console_out.h"
#include "core/core.h"

namespace dravel {

const LineEditKey line_edit_keys[8] = {{line_key::LEFT, EditAction::Left},
                                       {line_key::RIGHT, EditAction::Right},
                                       {line_key::HOME, EditAction::Home},
                                       {line_key::END, EditAction::End},
                                       {line_key::BACKSPACE, EditAction::Backspace},
                                       {line_key::DELETE, EditAction::Delete},
                                       {line_key::KILL_TO_END, EditAction::KillToEnd},
                                       {line_key::KILL_LINE, EditAction::KillLine}};
const KeyCode line_terminators[6] = {line_key::ENTER,        line_key::PREVIOUS,
                                     line_key::NEXT,         line_key::SEARCH_OLDER,
                                     line_key::SEARCH_NEWER, line_key::CLEAR};

namespace {

constexpr KeyCode BELL = 0x07;
constexpr KeyCode FIRST_HIGH_KEY = 0x7F;

// The screen is kept in step with plain characters, backspaces and spaces only.
struct Editor {
  platform::Console& con;
  char* line;
  int length;
  int cursor;

  void put(char c) { console_write(con, std::string_view(&c, 1)); }
  void spaces(int n) {
    if (n > 0) console_write(con, std::string(static_cast<size_t>(n), ' '));
  }
  void apply(EditAction action);
  void insert(char c);
};

void Editor::apply(EditAction action) {
  switch (action) {
    case EditAction::Home:
      console_put_backspaces(con, cursor);
      cursor = 0;
      break;
    case EditAction::End:
      console_put_chars(con, line + cursor);
      cursor = length;
      break;
    case EditAction::Left:
      if (cursor > 0) {
        console_put_backspaces(con, 1);
        --cursor;
      }
      break;
    case EditAction::Right:
      if (cursor < length) {
        put(line[cursor]);
        ++cursor;
      }
      break;
    case EditAction::Backspace:
      if (length > 0 && cursor > 0) {
        std::memmove(line + cursor - 1, line + cursor, static_cast<size_t>(length - cursor + 1));
        --cursor;
        --length;
        console_put_backspaces(con, 1);
        console_put_chars(con, line + cursor);
        put(' ');
        console_put_backspaces(con, length - cursor + 1);
      }
      break;
    case EditAction::Delete:
      if (cursor < length) {
        std::memmove(line + cursor, line + cursor + 1, static_cast<size_t>(length - cursor));
        --length;
        console_put_chars(con, line + cursor);
        put(' ');
        console_put_backspaces(con, length - cursor + 1);
      }
      break;
    case EditAction::KillToEnd:
      spaces(length - cursor);
      console_put_backspaces(con, length - cursor);
      line[cursor] = '\0';
      length = cursor;
      break;
    case EditAction::KillLine:
      console_put_backspaces(con, cursor);
      spaces(length);
      console_put_backspaces(con, length);
      cursor = 0;
      length = 0;
      line[0] = '\0';
      break;
  }
}

// Typing inside the line redraws its rest one column to the right.
void Editor::insert(char c) {
  if (cursor < length) {
    std::memmove(line + cursor + 1, line + cursor, static_cast<size_t>(length - cursor + 1));
    console_put_chars(con, line + cursor);
    ++length;
    console_put_backspaces(con, length - cursor);
  }
  line[cursor] = c;
  if (cursor == length) {
    line[cursor + 1] = '\0';
    ++length;
  }
  put(c);
  ++cursor;
}

}  // namespace

int edit_line(Core& core, char* line, int capacity, const LineEditKey (&keys)[8],
              const KeyCode (&terminators)[6], int flags) {
  Editor ed{core.console(), line, static_cast<int>(std::strlen(line)), 0};
  ed.cursor = ed.length;
  console_put_chars(ed.con, line);
  for (;;) {
    KeyCode k = read_key(core);
    const LineEditKey* edit = std::find_if(std::begin(keys), std::end(keys),
                                           [k](const LineEditKey& e) { return e.key == k; });
    bool ends =
        std::find(std::begin(terminators), std::end(terminators), k) != std::end(terminators);
    if (edit != std::end(keys)) {
      ed.apply(edit->action);
    } else if (!ends) {
      if (k < 0x20 || ed.length >= capacity)
        ed.put(static_cast<char>(BELL));
      else if (k < FIRST_HIGH_KEY)
        ed.insert(static_cast<char>(k));
    }
    if (ends || ((flags & LINE_FLAG_SPECIAL_ENDS) != 0 && k >= FIRST_HIGH_KEY)) {
      line[ed.length] = '\0';
      return k;
    }
  }
}

}  // namespace dravel
