#pragma once

namespace dravel {

class Core;
struct HistoryList;

// `format` holds exactly one "%s", replaced by the history number text.
char* prompted_input(Core& core, HistoryList& history, const char* format, char* line, int capacity,
                     int flags);
char* prompt_line(Core& core, HistoryList& history, const char* format, char* line, int capacity);

}  // namespace dravel
