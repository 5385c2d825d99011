#pragma once
#include <cstdint>

namespace dravel {

struct State;

int dload_key(State& s);
int dsave_key(State& s);
int dload_command(State& s, char* argument);
int dsave_command(State& s, char* argument);
int dload_file(State& s, const char* name, std::uint32_t address);

}  // namespace dravel
