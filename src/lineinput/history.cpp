#include "lineinput/history.h"

namespace dravel {

HistoryList::~HistoryList() {
  while (oldest != nullptr) {
    HistoryEntry* e = oldest;
    oldest = e->newer;
    delete e;
  }
}

void history_add(HistoryList&, platform::Console&, const char*) {}
void history_load(HistoryList&, platform::Console&, std::FILE*) {}
void history_save(const HistoryList&, std::FILE*) {}
int history_wrap(const HistoryList&, int position) { return position; }
void history_copy_current(HistoryList&, char* line, int) { line[0] = '\0'; }
void history_search_older(HistoryList&, const char*, char*, int) {}
void history_search_newer(HistoryList&, const char*, char*, int) {}
bool has_text(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ') return true;
  return false;
}
void history_load_file(HistoryList&, platform::Console&, const std::string&) {}
void history_save_file(const HistoryList&, const std::string&) {}

}  // namespace dravel
