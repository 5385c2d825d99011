#pragma once
#include <cstdint>

namespace dravel {

struct State;

inline constexpr std::uint32_t DEFAULT_STACK_POINTER = 0x801FFFF0;

int exe_load(State& s, const char* name, int verbose);
int coff_load(State& s, const char* name, int verbose);

}  // namespace dravel
