#pragma once
#include <cstdint>

namespace dravel {

class Link;

inline constexpr int REGISTER_GP = 28;
inline constexpr int REGISTER_SP = 29;
inline constexpr int REGISTER_EPC = 32;

int wait_prompt(Link& link);
int set_target_register(Link& link, int reg, std::uint32_t value);
// `pattern` ends in "\r"; returns only when its characters have arrived in order.
void wait_for_text(Link& link, const char* pattern);

}  // namespace dravel
