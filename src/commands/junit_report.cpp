#include "commands/junit_report.h"

#include <cinttypes>
#include <cstdio>

namespace dravel {

namespace {

void hex_byte(std::string& out, unsigned char b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", b);
  out += buf;
}

// Length of the well-formed UTF-8 sequence at s[i] that XML 1.0 allows, or 0.
std::size_t allowed_sequence(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len = 0;
  std::uint32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (s.size() - i < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  // Overlong forms, surrogates, past U+10FFFF and the two non-characters XML excludes.
  constexpr std::uint32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < SMALLEST[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF || cp == 0xFFFE ||
      cp == 0xFFFF)
    return 0;
  return len;
}

void attribute(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  out += xml_escaped(value);
  out += '"';
}

std::string seconds(std::int64_t ms) {
  if (ms < 0) ms = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64 ".%03" PRId64, ms / 1000, ms % 1000);
  return buf;
}

void test_case(std::string& out, const std::string& suite, const JunitCase& c) {
  out += "    <testcase";
  attribute(out, "name", c.name);
  attribute(out, "classname", suite);
  attribute(out, "time", seconds(c.ms));
  if (!c.failure) {
    out += "/>\n";
    return;
  }
  out += ">\n      <failure";
  attribute(out, "message", *c.failure);
  out += ">";
  out += xml_escaped(*c.failure);
  out += "</failure>\n    </testcase>\n";
}

}  // namespace

std::string xml_escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else if (const std::size_t len = c >= 0x80 ? allowed_sequence(text, i) : 0; len > 0) {
          out.append(text.substr(i, len));
          i += len;
          continue;
        } else {
          hex_byte(out, c);  // a control character or a byte that is no UTF-8
        }
    }
    ++i;
  }
  return out;
}

std::string junit_xml(const JunitRun& run) {
  std::size_t failures = run.end.failure ? 1 : 0;
  for (const JunitCase& c : run.cases) failures += c.failure ? 1 : 0;
  const std::string tests = std::to_string(run.cases.size() + 1);
  const std::string failed = std::to_string(failures);
  const std::string time = seconds(run.ms);

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites";
  attribute(out, "name", run.suite);
  attribute(out, "tests", tests);
  attribute(out, "failures", failed);
  attribute(out, "errors", "0");
  attribute(out, "time", time);
  out += ">\n  <testsuite";
  attribute(out, "name", run.suite);
  attribute(out, "tests", tests);
  attribute(out, "failures", failed);
  attribute(out, "errors", "0");
  attribute(out, "skipped", "0");
  attribute(out, "time", time);
  out += ">\n";
  for (const JunitCase& c : run.cases) test_case(out, run.suite, c);
  test_case(out, run.suite, run.end);
  out += "  </testsuite>\n</testsuites>\n";
  return out;
}

}  // namespace dravel
