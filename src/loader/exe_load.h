#pragma once
#include <cstdint>

namespace dravel {

struct State;

inline constexpr std::uint32_t DEFAULT_STACK_POINTER = 0x801FFFF0;

// Both expect the monitor in binary write mode; they leave it, then set epc, gp and sp.
int exe_load(State& s, const char* name, int verbose);
int coff_load(State& s, const char* name, int verbose);

// "  PC=..., GP=..., SP=..." and the three register commands, in that order.
void start_registers(State& s, std::uint32_t pc, std::uint32_t gp, std::uint32_t sp, int verbose);

}  // namespace dravel
