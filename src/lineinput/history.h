#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "platform/console.h"

namespace dravel {

inline constexpr int HISTORY_LIMIT = 50;

struct HistoryEntry {
  HistoryEntry* newer = nullptr;
  HistoryEntry* older = nullptr;
  std::string text;
};

struct HistoryList {
  HistoryList() = default;
  ~HistoryList();
  HistoryList(const HistoryList&) = delete;
  HistoryList& operator=(const HistoryList&) = delete;

  HistoryEntry* oldest = nullptr;
  HistoryEntry* newest = nullptr;
  int entry_count = 0;
  int total_added = 0;
  int browse_position = 0;
  std::string search_prefix;
};

void history_add(HistoryList& h, platform::Console& c, const char* text);
void history_load(HistoryList& h, platform::Console& c, std::FILE* stream);
void history_save(const HistoryList& h, std::FILE* stream);
int history_wrap(const HistoryList& h, int position);
void history_copy_current(HistoryList& h, char* line, int capacity);
void history_search_older(HistoryList& h, const char* prefix, char* line, int capacity);
void history_search_newer(HistoryList& h, const char* prefix, char* line, int capacity);
bool has_text(const char* text);

// Loads the history file at start (missing or unreadable: skipped silently).
void history_load_file(HistoryList& h, platform::Console& c, const std::string& path);
// Writes the history file at exit through a temporary file renamed over it.
void history_save_file(const HistoryList& h, const std::string& path);

}  // namespace dravel
