#pragma once
#include <cstdint>

namespace dravel {

struct State;

inline constexpr int REGISTER_GP = 28;
inline constexpr int REGISTER_SP = 29;
inline constexpr int REGISTER_EPC = 32;

int wait_prompt(State& s);
int set_target_register(State& s, int reg, std::uint32_t value);
int enter_binary_read(State& s);
int enter_binary_write(State& s);
int leave_binary(State& s);
// `pattern` ends in "\r"; returns only when its characters have arrived in order.
void wait_for_text(State& s, const char* pattern);

}  // namespace dravel
