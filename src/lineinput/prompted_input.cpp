#include "lineinput/prompted_input.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/console_out.h"
#include "core/core.h"
#include "lineinput/history.h"
#include "lineinput/line_editor.h"

namespace dravel {

namespace {

constexpr const char* CLEAR_LINE = "\r\x1b[K";

// The format's one "%s" becomes the history number; nothing else in it is interpreted.
void write_prompt(Core& core, const HistoryList& h, const char* format) {
  char number[32];
  if (h.browse_position == 0)
    std::snprintf(number, sizeof number, "[%d]", h.total_added + 1);
  else
    std::snprintf(number, sizeof number, "[%d/%d]", h.total_added + h.browse_position + 1,
                  h.total_added);
  std::string prompt = format;
  if (size_t at = prompt.find("%s"); at != std::string::npos) prompt.replace(at, 2, number);
  console_write(core.console(), prompt);
}

void list_history(Core& core, const HistoryList& h, int flags) {
  if ((flags & LINE_FLAG_NEWLINE) == 0) console_write(core.console(), "\r\n");
  int n = h.total_added - h.entry_count + 1;
  for (const HistoryEntry* e = h.oldest; e != nullptr; e = e->newer, ++n)
    console_printf(core.console(), "%4d: %s\n\r", n, e->text.c_str());
}

bool is_listing_word(const char* line) {
  return std::strcmp(line, "his") == 0 || std::strcmp(line, "HIS") == 0;
}

}  // namespace

char* prompted_input(Core& core, HistoryList& h, const char* format, char* line, int capacity,
                     int flags) {
  h.browse_position = 0;
  h.search_prefix.clear();
  line[0] = '\0';
  for (;;) {
    write_prompt(core, h, format);
    int k = edit_line(core, line, capacity, line_edit_keys, line_terminators, flags);
    bool have_history = h.entry_count > 0;
    switch (k) {
      case line_key::CLEAR:
        console_write(core.console(), CLEAR_LINE);
        h.browse_position = 0;
        continue;
      case line_key::PREVIOUS:
      case line_key::NEXT:
        if (have_history)
          h.browse_position =
              history_wrap(h, h.browse_position + (k == line_key::PREVIOUS ? -1 : 1));
        console_write(core.console(), CLEAR_LINE);
        history_copy_current(h, line, capacity);
        continue;
      case line_key::SEARCH_OLDER:
      case line_key::SEARCH_NEWER:
        if (have_history) {
          if (h.browse_position == 0) h.search_prefix = line;
          if (k == line_key::SEARCH_OLDER)
            history_search_older(h, h.search_prefix.c_str(), line, capacity);
          else
            history_search_newer(h, h.search_prefix.c_str(), line, capacity);
        }
        console_write(core.console(), CLEAR_LINE);
        continue;
      case line_key::ENTER:
        if ((flags & LINE_FLAG_NEWLINE) != 0) console_write(core.console(), "\r\n");
        if (have_history && is_listing_word(line)) {
          list_history(core, h, flags);
          line[0] = '\0';
          h.browse_position = 0;
          continue;
        }
        if (has_text(line)) history_add(h, core.console(), line);
        return line;
      default:
        // A special key ended the input: the typed text is kept in the history only.
        if (has_text(line)) history_add(h, core.console(), line);
        line[0] = static_cast<char>(k);
        line[1] = '\0';
        return line;
    }
  }
}

char* prompt_line(Core& core, HistoryList& h, const char* format, char* line, int capacity) {
  return prompted_input(core, h, format, line, capacity, LINE_FLAG_NEWLINE);
}

}  // namespace dravel
