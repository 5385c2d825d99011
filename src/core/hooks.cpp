#include "core/hooks.h"

#include <algorithm>

namespace dravel {

std::int64_t Hooks::nearest(std::int64_t deadline) const {
  for (const auto& source : deadline_sources) deadline = std::min(deadline, source());
  return deadline;
}

bool Hooks::tend() const {
  bool acted = false;
  for (const auto& tender : tenders) acted = tender() || acted;
  return acted;
}

bool Hooks::input_held() const {
  return std::any_of(held_input.begin(), held_input.end(), [](const auto& held) { return held(); });
}

void Hooks::run_exit_actions() const {
  for (const auto& action : exit_actions) action();
}

}  // namespace dravel
