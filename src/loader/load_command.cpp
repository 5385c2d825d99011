#include "loader/load_command.h"

#include <cstdio>
#include <cstring>

#include "core/blanks.h"
#include "core/console_out.h"
#include "core/state.h"
#include "lineinput/prompted_input.h"
#include "link/handshake.h"
#include "link/tx_queue.h"
#include "loader/binary_file.h"
#include "loader/elf_image.h"
#include "loader/exe_load.h"
#include "loader/srec_gate.h"
#include "loader/srec_send.h"

namespace dravel {

namespace {

constexpr char EXE_MAGIC[] = "KV-R EXE";
constexpr int MAGIC_BYTES = 8;

struct LoadOption {
  const char* text;  // the letter and exactly one blank
  int level;
};
constexpr LoadOption LOAD_OPTIONS[] = {{"-s ", 0}, {"-v ", 2}};
constexpr int DEFAULT_LEVEL = 1;

void queue_text(State& s, const char* text) {
  for (; *text != '\0'; ++text) tx_enqueue(s.tx, static_cast<std::uint8_t>(*text));
}

}  // namespace

LoadFormat detect_format(State& s, const char* name) {
  BinaryFile f = open_binary(name);
  if (!f) {
    console_printf(s.console(), "Can't open \"%s\"\n\r", name);
    return FORMAT_UNKNOWN;
  }
  unsigned char head[MAGIC_BYTES] = {};
  std::size_t n = std::fread(head, 1, MAGIC_BYTES, f.get());
  f.reset();
  if (n >= 2 && head[0] == 'S' && head[1] >= '0' && head[1] <= '9') return FORMAT_SREC;
  if (n == MAGIC_BYTES && std::memcmp(head, EXE_MAGIC, MAGIC_BYTES) == 0) return FORMAT_EXE;
  if (n >= 2 && head[0] == 0x62 && head[1] == 0x01) return FORMAT_COFF;
  if (n >= sizeof ELF_MAGIC && std::memcmp(head, ELF_MAGIC, sizeof ELF_MAGIC) == 0)
    return FORMAT_ELF;
  return FORMAT_UNKNOWN;
}

bool load_file_readable(State& s, const char* name) {
  return s.io.files.exists(name) && s.io.files.readable(name);
}

int load_file(State& s, const char* name, int level) {
  if (name[0] == '\0') return -1;
  if (!load_file_readable(s, name)) {
    console_printf(s.console(), " \"%s\" not found\a\n\r", name);
    return -1;
  }
  int result;
  switch (detect_format(s, name)) {
    case FORMAT_SREC:
      if (!srec_file_sound(s, name)) return -1;
      queue_text(s, "ld2\r");
      result = srec_send(s, name, level);
      break;
    case FORMAT_EXE:
      enter_binary_write(s);
      result = exe_load(s, name, level);
      break;
    case FORMAT_COFF:
      enter_binary_write(s);
      result = coff_load(s, name, level);
      break;
    case FORMAT_ELF:
      result = elf_load(s, name, level);
      break;
    default:
      console_printf(s.console(), " \"%s\" unknown format\a\n\r", name);
      return -1;
  }
  return result == -1 ? -1 : 0;
}

int load_command(State& s, char* argument) {
  char* p = skip_blanks(argument);
  if (*p == '\0') return 0;
  int level = DEFAULT_LEVEL;
  for (const LoadOption& o : LOAD_OPTIONS) {
    std::size_t len = std::strlen(o.text);
    if (std::strncmp(p, o.text, len) == 0) {
      level = o.level;
      p = skip_blanks(p + len);
      break;
    }
  }
  while (*p != '\0') {
    char* name = p;
    char* end = find_blank(p);
    p = end;
    if (*end != '\0') {
      *end = '\0';
      ++p;
    }
    if (load_file(s, name, level) == -1) return -1;
    p = skip_blanks(p);
  }
  return 0;
}

int load_key(State& s) {
  char line[LOAD_PROMPT_CAPACITY + 1] = {};
  prompt_line(s, LOAD_PROMPT, line, LOAD_PROMPT_CAPACITY);
  if (s.log_file.is_open()) s.log_file.printf("local load %s\n", line);
  return load_command(s, line);
}

}  // namespace dravel
