#pragma once
// The monitor's command table: each row a name, its usage, a one-line help and a handler.
#include <span>
#include <string>
#include <string_view>

#include "sim/binary_mode.h"
#include "sim/memory.h"
#include "sim/mode.h"
#include "sim/registers.h"
#include "sim/reply.h"
#include "sim/srec_load.h"

namespace dravel::sim {

// What a command may touch, and the mode it asks the monitor to go to next.
struct CommandContext {
  Memory& memory;
  Registers& registers;
  Reply& reply;
  BinaryMode& binary;
  SrecLoad& srec;
  // The seed of the next "stream" that names none; each such stream takes one.
  std::uint64_t& stream_seed;
  // Commands that leave command mode say where to; they send no prompt themselves.
  Mode next = Mode::command;
  // What the loaded program prints when "go" starts it (tests judge runs by it).
  std::string_view program_output = {};
};

struct Command {
  std::string_view name;
  std::string_view usage;
  std::string_view help;
  void (*run)(CommandContext& ctx, std::string_view args);
};

std::span<const Command> command_table();

// Runs one command line (without its CR). Sends the prompt unless the command left
// command mode.
void run_command_line(CommandContext& ctx, std::string_view line);

// A hexadecimal number, optionally with "0x", at most 8 digits, and nothing else.
bool parse_hex(std::string_view text, std::uint32_t& value);

}  // namespace dravel::sim
