// History file: load, then the list must hold together and save and load must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_platform.h"
#include "lineinput/history.h"

namespace {

using dravel::HistoryEntry;
using dravel::HistoryList;

void check_links(const HistoryList& h) {
  int n = 0;
  const HistoryEntry* newer = nullptr;
  for (const HistoryEntry* e = h.oldest; e != nullptr; e = e->newer) {
    if (e->older != newer || e->text.empty() || ++n > dravel::HISTORY_LIMIT) std::abort();
    newer = e;
  }
  if (newer != h.newest || n != h.entry_count) std::abort();
}

std::string save(const HistoryList& h) {
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  dravel::history_save(h, f);
  std::fclose(f);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

void load(HistoryList& h, dravel::platform::Console& c, const void* data, std::size_t size) {
  if (size == 0) return;  // fmemopen refuses an empty buffer
  std::FILE* f = fmemopen(const_cast<void*>(data), size, "r");
  dravel::history_load(h, c, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dravel::fuzz::Console console;
  HistoryList h;
  load(h, console, data, size);
  check_links(h);

  std::string saved = save(h);
  HistoryList again;
  load(again, console, saved.data(), saved.size());
  check_links(again);
  if (save(again) != saved) std::abort();

  // Browsing and searching with a short line, the way the editor asks.
  char line[16] = {};
  const char* prefix = h.newest != nullptr ? h.newest->text.c_str() : "x";
  for (int i = 0; i < 3; ++i) {
    dravel::history_search_older(h, prefix, line, sizeof line - 1);
    if (std::strlen(line) >= sizeof line) std::abort();
    dravel::history_copy_current(h, line, sizeof line - 1);
    h.browse_position = dravel::history_wrap(h, h.browse_position - 1);
  }
  dravel::history_search_newer(h, prefix, line, sizeof line - 1);
  return 0;
}
