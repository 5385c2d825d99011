#pragma once
#include <cstdint>

#include "loader/load_image.h"

namespace dravel {

struct State;

// Both expect the monitor in binary write mode; they leave it, then set epc, gp and sp.
int exe_load(State& s, const char* name, int verbose);
int coff_load(State& s, const char* name, int verbose);
// Checks the whole file first and sends nothing when it cannot be loaded; enters binary
// write mode itself.
int elf_load(State& s, const char* name, int verbose);

// "  PC=..., GP=..., SP=..." and the three register commands, in that order.
void start_registers(State& s, std::uint32_t pc, std::uint32_t gp, std::uint32_t sp, int verbose);

}  // namespace dravel
