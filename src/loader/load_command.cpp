#include "loader/load_command.h"

#include <cstdio>
#include <cstring>

#include "core/blanks.h"
#include "core/console_out.h"
#include "link/link.h"
#include "link/tx_queue.h"
#include "loader/binary_file.h"
#include "loader/coff_image.h"
#include "loader/elf_image.h"
#include "loader/exe_image.h"
#include "loader/image_sender.h"
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

void queue_text(Link& link, const char* text) {
  for (; *text != '\0'; ++text) tx_enqueue(link.tx, static_cast<std::uint8_t>(*text));
}

}  // namespace

LoadFormat detect_format(const char* name, std::string& why) {
  BinaryFile f = open_binary(name);
  if (!f) {
    why = format_text("Can't open \"%s\": %s\n\r", name, open_failure().c_str());
    return LoadFormat::Unknown;
  }
  unsigned char head[MAGIC_BYTES] = {};
  std::size_t n = std::fread(head, 1, MAGIC_BYTES, f.get());
  f.reset();
  if (n >= 2 && head[0] == 'S' && head[1] >= '0' && head[1] <= '9') return LoadFormat::Srec;
  if (n == MAGIC_BYTES && std::memcmp(head, EXE_MAGIC, MAGIC_BYTES) == 0) return LoadFormat::Exe;
  if (n >= 2 && head[0] == 0x62 && head[1] == 0x01) return LoadFormat::Coff;
  if (n >= sizeof ELF_MAGIC && std::memcmp(head, ELF_MAGIC, sizeof ELF_MAGIC) == 0)
    return LoadFormat::Elf;
  return LoadFormat::Unknown;
}

bool load_file_readable(Link& link, const char* name) {
  return link.core.io.files.exists(name) && link.core.io.files.readable(name);
}

std::string not_found(const char* name) {
  return format_text(" \"%s\" not found\a\n\r", name);
}

ImageResult read_executable(LoadFormat format, const char* name, std::FILE* f, std::uint64_t size) {
  auto read_at = [f](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
  };
  if (format == LoadFormat::Exe) return read_exe_image(name, read_at, size);
  if (format == LoadFormat::Coff) return read_coff_image(name, read_at, size);
  ElfResult elf = read_elf_image(read_at, size);
  if (!elf.problem.empty())
    return ImageResult::refused("\"" + std::string(name) + "\" " + elf.problem + "\n\r");
  ImageResult r;
  r.image = std::move(elf.image);
  if (std::string problem = image_problem(name, r.image, size); !problem.empty())
    return ImageResult::refused(problem);
  return r;
}

namespace {

// Nothing goes to the board until the whole file is known to be loadable.
CommandResult load_executable(Link& link, LoadFormat format, const char* name, int level) {
  BinaryFile file = open_binary(name);
  if (!file)
    return CommandResult::failed(
        format_text("Can't open \"%s\": %s\n\r", name, open_failure().c_str()));
  const std::int64_t size = binary_file_size(file.get());
  if (size < 0) return CommandResult::failed(format_text("\"%s\" cannot be read\n\r", name));
  const ImageResult r = read_executable(format, name, file.get(), static_cast<std::uint64_t>(size));
  if (!r.ok) return CommandResult::failed(r.message);
  return send_load_image(link, file.get(), name, r.image, level);
}

}  // namespace

CommandResult load_file(Link& link, const char* name, int level) {
  if (name[0] == '\0') return CommandResult::failed();
  if (!load_file_readable(link, name)) return CommandResult::failed(not_found(name));
  std::string why;
  switch (LoadFormat format = detect_format(name, why)) {
    case LoadFormat::Srec:
      if (std::string refusal = srec_file_refusal(name); !refusal.empty())
        return CommandResult::failed(refusal);
      queue_text(link, "ld2\r");
      return srec_send(link, name, level);
    case LoadFormat::Exe:
    case LoadFormat::Coff:
    case LoadFormat::Elf:
      return load_executable(link, format, name, level);
    default:
      return CommandResult::failed(why + format_text(" \"%s\" unknown format\a\n\r", name));
  }
}

CommandResult load_command(Link& link, char* argument) {
  char* p = skip_blanks(argument);
  if (*p == '\0') return CommandResult::done();
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
    if (CommandResult r = load_file(link, name, level); !r.ok()) return r;
    p = skip_blanks(p);
  }
  return CommandResult::done();
}

}  // namespace dravel
