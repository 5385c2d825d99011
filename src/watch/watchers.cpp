#include "watch/watchers.h"

#include <cstring>
#include <new>

#include "core/state.h"

namespace dravel {

Watcher* watcher_register(WatcherList& list, const char* pattern, WatcherCallback callback,
                          int value) {
  if (pattern == nullptr) return nullptr;
  std::unique_ptr<Watcher> w(new (std::nothrow) Watcher);
  if (!w) return nullptr;
  w->matcher = matcher_create(reinterpret_cast<const std::uint8_t*>(pattern),
                              static_cast<int>(std::strlen(pattern)));
  if (!w->matcher) return nullptr;
  w->callback = callback;
  w->value = value;
  w->next = std::move(list.head);
  list.head = std::move(w);
  return list.head.get();
}

void watchers_reset(WatcherList& list) {
  for (Watcher* w = list.head.get(); w != nullptr; w = w->next.get()) matcher_reset(*w->matcher);
}

Watcher* watchers_match(State& s, const std::uint8_t* bytes, int count) {
  for (Watcher* w = s.watchers.head.get(); w != nullptr; w = w->next.get()) {
    matcher_feed(*w->matcher, bytes, count);
    if (!matcher_matched(*w->matcher)) continue;
    // One announcement per chunk: whatever the others had half seen is forgotten.
    watchers_reset(s.watchers);
    return w;
  }
  return nullptr;
}

int watcher_run(State& s, const Watcher& w) {
  return w.callback != nullptr ? w.callback(s, w.value) : 1;
}

int watchers_feed(State& s, const std::uint8_t* bytes, int count) {
  Watcher* w = watchers_match(s, bytes, count);
  return w != nullptr ? watcher_run(s, *w) : 0;
}

int on_prompt(State& s, int) {
  s.prompt_seen = true;
  return 0;
}

}  // namespace dravel
