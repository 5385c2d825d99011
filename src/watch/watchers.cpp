#include "watch/watchers.h"

#include <cstring>
#include <new>

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

Watcher* watchers_match(WatcherList& list, const std::uint8_t* bytes, int count) {
  for (Watcher* w = list.head.get(); w != nullptr; w = w->next.get()) {
    matcher_feed(*w->matcher, bytes, count);
    if (!matcher_matched(*w->matcher)) continue;
    // One announcement per chunk: whatever the others had half seen is forgotten.
    watchers_reset(list);
    return w;
  }
  return nullptr;
}

CommandResult watcher_run(const Watcher& w) {
  return w.callback ? w.callback(w.value) : CommandResult::done();
}

CommandResult watchers_feed(WatcherList& list, const std::uint8_t* bytes, int count) {
  Watcher* w = watchers_match(list, bytes, count);
  return w != nullptr ? watcher_run(*w) : CommandResult::done();
}

}  // namespace dravel
