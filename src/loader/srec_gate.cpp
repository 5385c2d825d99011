#include "loader/srec_gate.h"

#include <cstring>

#include "core/console_out.h"
#include "core/text_reader.h"
#include "loader/srec_check.h"

namespace dravel {

bool srec_file_sound(platform::Console& console, const char* name, TextReader& file) {
  const SrecFileProblem p = srec_file_problem(file);
  if (p.line == 0) return true;
  console_printf(console, "\"%s\" is not S-format file\n\r", name);
  // By text: a literal's address may differ between translation units.
  if (p.line > 1 || std::strcmp(p.reason, SREC_NO_START) != 0)
    console_printf(console, " line %d %s\n\r", p.line, p.reason);
  return false;
}

bool srec_file_sound(platform::Console& console, const char* name) {
  TextReader file;
  return !file.open(name) || srec_file_sound(console, name, file);
}

}  // namespace dravel
