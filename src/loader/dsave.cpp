#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/blanks.h"
#include "core/console_out.h"
#include "link/binary_session.h"
#include "link/block_protocol.h"
#include "link/link.h"
#include "loader/binary_file.h"
#include "loader/dload_dsave.h"
#include "platform/replacing_file.h"

namespace dravel {

namespace {

constexpr int DSAVE_NAME_SIZE = 1024;

bool is_hex_digit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A whole word of hexadecimal digits (an optional 0x as "%lx" takes it) that fits 32 bits.
bool parse_hex_word(const char* word, std::uint32_t& value) {
  if (!is_hex_digit(*word)) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(word, &end, 16);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFULL) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

// Splits at spaces only; runs of spaces count as one. Returns how many words were found.
int split_at_spaces(char* text, char* words[], int max_words) {
  int n = 0;
  char* p = text;
  while (n < max_words) {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    words[n++] = p;
    while (*p != '\0' && *p != ' ') ++p;
    if (*p == ' ') *p++ = '\0';
  }
  return n;
}

// The file name inside dsave's first word ends at any white space, as "%s" reads it.
bool take_file_name(const char* word, char (&name)[DSAVE_NAME_SIZE]) {
  const char* start = skip_blanks(word);
  const char* end = find_blank(start);
  std::size_t len = static_cast<std::size_t>(end - start);
  if (len == 0 || len >= sizeof name) return false;
  std::memcpy(name, start, len);
  name[len] = '\0';
  return true;
}

// Until kept, dsave's output is dropped when the command ends early (the device lost, ESC, a
// write that failed): the file under the name stays as it was, so a dump that exists is a
// whole one. Only a device or a FIFO, written in place, can be left incomplete. A failure
// that returns takes the message with its own (`drop`); one that unwinds gets it here.
class PartialOutput {
 public:
  PartialOutput(Link& link, const char* name, platform::ReplacingFile& file)
      : link_(link), name_(name), file_(file) {}
  PartialOutput(const PartialOutput&) = delete;
  PartialOutput& operator=(const PartialOutput&) = delete;
  ~PartialOutput() {
    if (!done_) console_write(link_.console(), drop());
  }
  void keep() { done_ = true; }
  std::string drop() {
    done_ = true;
    file_.discard();
    return format_text(
        file_.in_place() ? "\"%s\" is incomplete\n\r" : "\"%s\" incomplete, not saved\n\r", name_);
  }

 private:
  Link& link_;
  const char* name_;
  platform::ReplacingFile& file_;
  bool done_ = false;
};

}  // namespace

CommandResult dsave_command(Link& link, char* argument) {
  const std::int64_t start = link.clock().seconds();
  char* words[3] = {};
  char name[DSAVE_NAME_SIZE];
  std::uint32_t address = 0;
  std::uint32_t size_word = 0;
  if (split_at_spaces(argument, words, 3) < 3 || !take_file_name(words[0], name) ||
      !parse_hex_word(words[1], address) || !parse_hex_word(words[2], size_word))
    return CommandResult::failed("filename adr size\n");
  // A size of 0x80000000 or more counts as negative: nothing is read.
  const auto size = static_cast<std::int32_t>(size_word);

  // Created before binary mode, so a bad name leaves the monitor untouched.
  platform::ReplacingFile out;
  if (!out.open(name))
    return CommandResult::failed(
        format_text("Can't create \"%s\": %s\n\r", name, std::strerror(out.error_number())));
  PartialOutput partial(link, name, out);

  std::vector<std::uint8_t> buffer(TRANSFER_BUFFER_SIZE);
  bool write_failed = false;
  bool stopped = false;
  int write_errno = 0;
  {
    BinarySession session(link, BinaryDirection::FromBoard);
    std::int32_t remaining = size;
    while (remaining > 0 && !write_failed && !stopped) {
      console_printf(
          link.console(), "DSAVE %s %lx %lx/%lx\n", name, static_cast<unsigned long>(address),
          static_cast<unsigned long>(size - remaining), static_cast<unsigned long>(size));
      send_transfer_header(link, address, TRANSFER_BUFFER_SIZE);
      address += TRANSFER_BUFFER_SIZE;
      if (receive_packets(link, buffer.data(), TRANSFER_BUFFER_SIZE) != 0) {
        stopped = true;
        session.give_up();
        break;
      }
      const auto n =
          static_cast<std::size_t>(std::min<std::int32_t>(remaining, TRANSFER_BUFFER_SIZE));
      errno = 0;
      if (std::fwrite(buffer.data(), 1, n, out.stream()) != n) {
        write_failed = true;
        write_errno = errno;
      }
      remaining -= TRANSFER_BUFFER_SIZE;
    }
    // A full disk often shows only when the buffered tail is written.
    if (!stopped && !write_failed) {
      write_failed = !out.commit();
      write_errno = out.error_number();
      if (!write_failed) partial.keep();
    }
  }  // the monitor leaves binary mode here, on every path
  if (stopped) return CommandResult::failed(transfer_stopped_text() + partial.drop());
  if (write_failed)
    return CommandResult::failed(
        format_text("Can't write \"%s\": %s\n\r", name,
                    write_errno != 0 ? std::strerror(write_errno) : "write failed") +
        partial.drop());
  console_printf(link.console(), "%ld(sec)\n", static_cast<long>(link.clock().seconds() - start));
  return CommandResult::done();
}

}  // namespace dravel
