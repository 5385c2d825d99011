#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "core/command_result.h"
#include "watch/pattern_matcher.h"

namespace dravel {

// Called with the value it was registered with.
using WatcherCallback = std::function<CommandResult(int value)>;

struct Watcher {
  std::unique_ptr<Watcher> next;
  std::unique_ptr<PatternMatcher> matcher;
  WatcherCallback callback = nullptr;
  int value = 0;
};

struct WatcherList {
  std::unique_ptr<Watcher> head;
};

inline constexpr const char* PROMPT_PATTERN = "  \r>>";
inline constexpr const char* DATA_LOAD_PATTERN = "\r\nS-format data load start\r\n";
inline constexpr const char* FILE_LOAD_PATTERN = "\r\nS-format file load start\r\n";

Watcher* watcher_register(WatcherList& list, const char* pattern, WatcherCallback callback,
                          int value);
void watchers_reset(WatcherList& list);
// Feeds one chunk to every watcher and runs the callback of the one that matched; Done when
// none did.
CommandResult watchers_feed(WatcherList& list, const std::uint8_t* bytes, int count);
// The same in two steps, for a caller with output to finish before a callback runs:
// the watcher that matched (all reset then), or null; then its callback's result.
Watcher* watchers_match(WatcherList& list, const std::uint8_t* bytes, int count);
CommandResult watcher_run(const Watcher& w);

}  // namespace dravel
