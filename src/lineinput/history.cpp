#include "lineinput/history.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "core/console_out.h"
#include "platform/replacing_file.h"

namespace dravel {

namespace {

// fgets takes one less than its size, so lines arrive in pieces of at most 509 characters.
constexpr int LOAD_PIECE = 509;

void unlink_entry(HistoryList& h, HistoryEntry* e) {
  (e->newer != nullptr ? e->newer->older : h.newest) = e->older;
  (e->older != nullptr ? e->older->newer : h.oldest) = e->newer;
  e->newer = e->older = nullptr;
}

void append_newest(HistoryList& h, HistoryEntry* e) {
  e->older = h.newest;
  e->newer = nullptr;
  (h.newest != nullptr ? h.newest->newer : h.oldest) = e;
  h.newest = e;
}

// The entry at `position` (0 and -1 both mean the newest), with its position.
HistoryEntry* entry_at(const HistoryList& h, int position) {
  HistoryEntry* e = h.newest;
  for (int i = -1; i > position && e != nullptr && e->older != nullptr; --i) e = e->older;
  return e;
}

// The whole entry fits: the line holds capacity characters and its terminating zero.
void copy_into_line(const std::string& text, char* line, int capacity) {
  size_t n = std::min(text.size(), static_cast<size_t>(capacity > 0 ? capacity : 0));
  std::memcpy(line, text.data(), n);
  line[n] = '\0';
}

bool clear_if_empty(HistoryList& h, char* line) {
  if (h.entry_count > 0) return false;
  line[0] = '\0';
  h.browse_position = 0;
  return true;
}

bool begins_with(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

HistoryList::~HistoryList() {
  while (oldest != nullptr) {
    HistoryEntry* e = oldest;
    oldest = e->newer;
    delete e;
  }
}

void history_add(HistoryList& h, platform::Console& c, const char* text) {
  HistoryEntry* e = h.newest;
  while (e != nullptr && e->text != text) e = e->older;
  if (e != nullptr) {
    unlink_entry(h, e);
  } else {
    try {
      e = new HistoryEntry{nullptr, nullptr, text};
    } catch (const std::bad_alloc&) {
      console_write(c, "history buffer full !\n");
      return;
    }
    ++h.entry_count;
  }
  append_newest(h, e);
  ++h.total_added;
  if (h.entry_count > HISTORY_LIMIT) {
    HistoryEntry* old = h.oldest;
    unlink_entry(h, old);
    delete old;
    --h.entry_count;
  }
}

// Trims control characters only: a UTF-8 character at the end of a line stays whole.
void history_load(HistoryList& h, platform::Console& c, std::FILE* stream) {
  char piece[LOAD_PIECE + 1];
  while (std::fgets(piece, sizeof piece, stream) != nullptr) {
    size_t n = std::strlen(piece);
    while (n > 0 && static_cast<unsigned char>(piece[n - 1]) < 0x20) --n;
    piece[n] = '\0';
    if (n > 0) history_add(h, c, piece);
  }
}

void history_save(const HistoryList& h, std::FILE* stream) {
  for (const HistoryEntry* e = h.oldest; e != nullptr; e = e->newer)
    std::fprintf(stream, "%s\n", e->text.c_str());
}

int history_wrap(const HistoryList& h, int position) {
  int c = h.entry_count;
  if (position < -c) position += c;
  if (position >= 0) position -= c;
  return position;
}

void history_copy_current(HistoryList& h, char* line, int capacity) {
  if (clear_if_empty(h, line)) return;
  copy_into_line(entry_at(h, h.browse_position)->text, line, capacity);
}

// The start position wraps, the walk stops at the oldest end.
void history_search_older(HistoryList& h, const char* prefix, char* line, int capacity) {
  if (clear_if_empty(h, line) || !has_text(prefix)) return;
  int pos = history_wrap(h, h.browse_position - 1);
  for (HistoryEntry* e = entry_at(h, pos); e != nullptr; e = e->older, --pos) {
    if (begins_with(e->text, prefix)) {
      h.browse_position = pos;
      copy_into_line(e->text, line, capacity);
      return;
    }
  }
}

// The start position wraps, the walk stops at the newest end.
void history_search_newer(HistoryList& h, const char* prefix, char* line, int capacity) {
  if (clear_if_empty(h, line) || !has_text(prefix)) return;
  int pos = history_wrap(h, h.browse_position + 1);
  for (HistoryEntry* e = entry_at(h, pos); e != nullptr; e = e->newer, ++pos) {
    if (begins_with(e->text, prefix)) {
      h.browse_position = pos;
      copy_into_line(e->text, line, capacity);
      return;
    }
  }
}

bool has_text(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ') return true;
  return false;
}

void history_load_file(HistoryList& h, platform::Console& c, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return;
  history_load(h, c, f);
  std::fclose(f);
}

namespace {

// False when anything failed; the file is closed either way.
bool write_history(const HistoryList& h, std::FILE* f) {
  history_save(h, f);
  bool ok = std::ferror(f) == 0;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

// A crash or a full disk while writing leaves the old file as it was.
void history_save_file(const HistoryList& h, const std::string& path) {
  platform::ReplacingFile out;
  if (!out.open(path)) {
    // A directory we may not create files in, holding a file we may write: write in place.
    bool denied = out.error_number() == EACCES || out.error_number() == EPERM;
    if (std::FILE* direct = denied ? std::fopen(path.c_str(), "w") : nullptr)
      write_history(h, direct);
    return;
  }
  history_save(h, out.stream());
  out.commit();
}

}  // namespace dravel
