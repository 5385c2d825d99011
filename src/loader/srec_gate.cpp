#include "loader/srec_gate.h"

#include <cstring>

#include "core/console_out.h"
#include "core/text_reader.h"
#include "loader/srec_check.h"

namespace dravel {

std::string srec_file_refusal(const char* name, TextReader& file) {
  const SrecFileProblem p = srec_file_problem(file);
  if (p.line == 0) return {};
  std::string why = format_text("\"%s\" is not S-format file\n\r", name);
  // By text: a literal's address may differ between translation units.
  if (p.line > 1 || std::strcmp(p.reason, SREC_NO_START) != 0)
    why += format_text(" line %d %s\n\r", p.line, p.reason);
  return why;
}

std::string srec_file_refusal(const char* name) {
  TextReader file;
  return file.open(name) ? srec_file_refusal(name, file) : std::string();
}

}  // namespace dravel
