#include "sim/commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/stream.h"

namespace dravel::sim {

namespace {

constexpr std::uint32_t DUMP_WORDS_DEFAULT = 0x10;
constexpr std::uint32_t DUMP_WORDS_MAX = 0x400;

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    std::size_t start = i;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

void say_line(Reply& reply, std::string_view text) {
  reply.say("\r\n");
  reply.say(text);
}

[[gnu::format(printf, 2, 3)]] void say_format(Reply& reply, const char* format, ...) {
  char buf[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  say_line(reply, buf);
}

void cmd_help(CommandContext& ctx, std::string_view) {
  for (const Command& c : command_table()) {
    std::string usage(c.usage);
    std::string help(c.help);
    say_format(ctx.reply, "  %-22s %s", usage.c_str(), help.c_str());
  }
}

void cmd_dw(CommandContext& ctx, std::string_view args) {
  auto words = split_words(args);
  std::uint32_t addr = 0;
  std::uint32_t count = DUMP_WORDS_DEFAULT;
  if (words.empty() || words.size() > 2 || !parse_hex(words[0], addr) ||
      (words.size() == 2 && !parse_hex(words[1], count))) {
    say_line(ctx.reply, "usage: dw <addr> [<count>]");
    return;
  }
  if (count == 0 || count > DUMP_WORDS_MAX) {
    say_format(ctx.reply, "dw: count must be 1 to %x", DUMP_WORDS_MAX);
    return;
  }
  if (!ctx.memory.mapped(addr, std::uint64_t{count} * 4)) {
    say_format(ctx.reply, "dw: address %08x not mapped", addr);
    return;
  }
  for (std::uint32_t i = 0; i < count; i += 4) {
    std::uint32_t line_addr = addr + i * 4;
    std::string line;
    char word[16];
    std::snprintf(word, sizeof word, "%08x:", line_addr);
    line += word;
    for (std::uint32_t j = i; j < std::min(count, i + 4); ++j) {
      std::snprintf(word, sizeof word, " %08x", ctx.memory.read_word(addr + j * 4));
      line += word;
    }
    say_line(ctx.reply, line);
  }
}

void cmd_reg(CommandContext& ctx, std::string_view) {
  constexpr int PER_LINE = 4;
  std::string line;
  for (int i = 0; i < Registers::COUNT; ++i) {
    std::string name(Registers::name_of(i));
    char cell[24];
    std::snprintf(cell, sizeof cell, "%4s=%08x  ", name.c_str(), ctx.registers.at(i));
    line += cell;
    if ((i + 1) % PER_LINE == 0 || i + 1 == Registers::COUNT) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      say_line(ctx.reply, line);
      line.clear();
    }
  }
}

void cmd_sr(CommandContext& ctx, std::string_view args) {
  auto words = split_words(args);
  std::uint32_t value = 0;
  if (words.size() != 2 || !parse_hex(words[1], value)) {
    say_line(ctx.reply, "usage: sr <register> <hex value>");
    return;
  }
  if (!ctx.registers.set(words[0], value)) {
    say_line(ctx.reply, "sr: no register " + std::string(words[0]));
  }
}

void cmd_go(CommandContext& ctx, std::string_view) {
  say_format(ctx.reply, "go: the program would start at %08x (this monitor runs no code)",
             ctx.registers.get("epc"));
  if (!ctx.program_output.empty()) ctx.reply.say(ctx.program_output);
}

void cmd_ld2(CommandContext& ctx, std::string_view) {
  ctx.srec.begin(SrecStart::ld2);
  ctx.next = Mode::srec_load;
}

void cmd_lreq(CommandContext& ctx, std::string_view) {
  ctx.srec.begin(SrecStart::data_request);
  ctx.next = Mode::srec_load;
}

void cmd_fload(CommandContext& ctx, std::string_view args) {
  auto words = split_words(args);
  if (words.size() != 1) {
    say_line(ctx.reply, "usage: fload <file name>");
    return;
  }
  ctx.srec.begin(SrecStart::file_request, std::string(words[0]));
  ctx.next = Mode::srec_load;
}

void cmd_bwr(CommandContext& ctx, std::string_view) {
  ctx.binary.enter(BinaryDirection::write);
  ctx.next = Mode::binary_write;
}

void cmd_brd(CommandContext& ctx, std::string_view) {
  ctx.binary.enter(BinaryDirection::read);
  ctx.next = Mode::binary_read;
}

constexpr std::uint32_t STREAM_MAX = 0x100000;
constexpr std::uint32_t SUM_MAX = 0x1000000;

// "stream SEED LENGTH", the stream, "stream end SEED": a test tool checks every byte.
void cmd_stream(CommandContext& ctx, std::string_view args) {
  auto words = split_words(args);
  std::uint32_t length = 0;
  std::uint32_t seed = 0;
  if (words.empty() || words.size() > 2 || !parse_hex(words[0], length) || length > STREAM_MAX ||
      (words.size() == 2 && !parse_hex(words[1], seed))) {
    say_format(ctx.reply, "usage: stream <length, at most %x> [<seed>]", STREAM_MAX);
    return;
  }
  std::uint64_t use = words.size() == 2 ? seed : ctx.stream_seed++;
  say_format(ctx.reply, "stream %llx %x", static_cast<unsigned long long>(use), length);
  ctx.reply.say("\r\n");
  ctx.reply.say(seeded_stream(use, length));
  say_format(ctx.reply, "stream end %llx", static_cast<unsigned long long>(use));
}

void cmd_sum(CommandContext& ctx, std::string_view args) {
  auto words = split_words(args);
  std::uint32_t addr = 0;
  std::uint32_t size = 0;
  if (words.size() != 2 || !parse_hex(words[0], addr) || !parse_hex(words[1], size) ||
      size > SUM_MAX) {
    say_format(ctx.reply, "usage: sum <addr> <size, at most %x>", SUM_MAX);
    return;
  }
  std::vector<std::uint8_t> data = ctx.memory.read(addr, size);
  say_format(ctx.reply, "sum %08x %x crc32 %08x", addr, size, crc32(data.data(), data.size()));
}

constexpr std::array<Command, 12> COMMANDS = {{
    {"help", "help", "this list", cmd_help},
    {"dw", "dw <addr> [<count>]", "dump <count> words (hex, default 10)", cmd_dw},
    {"reg", "reg", "show the registers", cmd_reg},
    {"sr", "sr <register> <hex>", "set a register (gp, sp, epc, ...)", cmd_sr},
    {"go", "go", "start the program at epc", cmd_go},
    {"ld2", "ld2", "receive s-records ('G' LF, then lines)", cmd_ld2},
    {"lreq", "lreq", "ask the host for an s-record file", cmd_lreq},
    {"fload", "fload <file name>", "ask the host for that s-record file", cmd_fload},
    {"bwr", "bwr", "binary mode, host to memory", cmd_bwr},
    {"brd", "brd", "binary mode, memory to host", cmd_brd},
    {"stream", "stream <len> [<seed>]", "print a seeded, checkable stream", cmd_stream},
    {"sum", "sum <addr> <size>", "crc32 of memory (hex)", cmd_sum},
}};

bool same_word(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == y;
         });
}

}  // namespace

std::span<const Command> command_table() {
  return COMMANDS;
}

bool parse_hex(std::string_view text, std::uint32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 8) return false;
  std::uint32_t v = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    int d = std::isdigit(static_cast<unsigned char>(c))
                ? c - '0'
                : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  value = v;
  return true;
}

void run_command_line(CommandContext& ctx, std::string_view line) {
  auto words = split_words(line);
  if (!words.empty()) {
    std::string_view name = words[0];
    std::string_view args =
        line.substr(static_cast<std::size_t>(name.data() + name.size() - line.data()));
    auto it = std::find_if(COMMANDS.begin(), COMMANDS.end(),
                           [&](const Command& c) { return same_word(name, c.name); });
    if (it == COMMANDS.end()) {
      say_line(ctx.reply, std::string(name) + ": unknown command (type help)");
    } else {
      it->run(ctx, args);
    }
  }
  if (ctx.next == Mode::command) ctx.reply.prompt();
}

}  // namespace dravel::sim
