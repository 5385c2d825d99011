#include "loader/dload_dsave.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/blanks.h"
#include "core/console_out.h"
#include "core/state.h"
#include "lineinput/prompted_input.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "link/serial_port.h"
#include "loader/binary_file.h"
#include "loader/image_sender.h"
#include "platform/replacing_file.h"

namespace dravel {

namespace {

constexpr int MAX_DLOAD_PAIRS = 20;
constexpr int KEY_LINE_SIZE = 256;
constexpr int KEY_LINE_CAPACITY = 63;
constexpr int DSAVE_NAME_SIZE = 1024;
constexpr std::int64_t MAX_IMAGE_SIZE = 0xFFFFFFFFLL;
constexpr int PROGRESS_WIDTH = 16;

struct DloadPair {
  const char* name;
  std::uint32_t address;
};

// An image to send: a readable file whose size fits the header's 32-bit count.
BinaryFile open_image(const char* name, std::int64_t& size) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) return nullptr;
  BinaryFile f = open_binary(name);
  if (!f) return nullptr;
  size = binary_file_size(f.get());
  if (size < 0 || size > MAX_IMAGE_SIZE) return nullptr;
  return f;
}

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
// whole one. Only a device or a FIFO, written in place, can be left incomplete.
class PartialOutput {
 public:
  PartialOutput(State& s, const char* name, platform::ReplacingFile& file)
      : s_(s), name_(name), file_(file) {}
  PartialOutput(const PartialOutput&) = delete;
  PartialOutput& operator=(const PartialOutput&) = delete;
  ~PartialOutput() {
    if (kept_) return;
    file_.discard();
    console_printf(
        s_.console(),
        file_.in_place() ? "\"%s\" is incomplete\n\r" : "\"%s\" incomplete, not saved\n\r", name_);
  }
  void keep() { kept_ = true; }

 private:
  State& s_;
  const char* name_;
  platform::ReplacingFile& file_;
  bool kept_ = false;
};

// Both key handlers: one prompted line, logged in the form of a script line.
int run_prompted(State& s, const char* prompt, const char* log_word,
                 int (*command)(State&, char*)) {
  char line[KEY_LINE_SIZE] = {};
  prompt_line(s, prompt, line, KEY_LINE_CAPACITY);
  if (s.log_file.is_open()) s.log_file.printf("local %s %s\n", log_word, line);
  return command(s, line);
}

}  // namespace

int dload_key(State& s) {
  return run_prompted(s, "\x1b[32mDload%s:\x1b[0m ", "dload", dload_command);
}

int dsave_key(State& s) {
  return run_prompted(s, "\x1b[32mDsave%s:\x1b[0m ", "dsave", dsave_command);
}

int dload_command(State& s, char* argument) {
  DloadPair pairs[MAX_DLOAD_PAIRS];
  int count = 0;
  char* p = skip_blanks(argument);
  while (*p != '\0' && count < MAX_DLOAD_PAIRS) {
    char* name = p;
    p = find_blank(p);
    if (*p != '\0') *p++ = '\0';
    p = skip_blanks(p);
    // Like "%lx", the word's hex prefix counts; one past 32 bits is refused, not cut to its low
    // bits (a load to the wrong place). strtoull, since long is 32 bits on Windows.
    unsigned long long address = 0;
    if (is_hex_digit(*p)) {
      errno = 0;
      address = std::strtoull(p, nullptr, 16);
    }
    if (!is_hex_digit(*p) || errno == ERANGE || address > 0xFFFFFFFFULL) {
      console_printf(s.console(), "\"%s\" file address missing\n", name);
      return -1;
    }
    pairs[count++] = {name, static_cast<std::uint32_t>(address)};
    p = skip_blanks(find_blank(p));
  }
  if (count == 0) return -1;

  // Every file must open before the monitor is put into binary mode.
  for (int i = 0; i < count; ++i) {
    std::int64_t size = 0;
    if (!open_image(pairs[i].name, size)) {
      console_printf(s.console(), "Can't open \"%s\"\n\r", pairs[i].name);
      return -1;
    }
  }

  enter_binary_write(s);
  for (int i = 0; i < count; ++i)
    if (dload_file(s, pairs[i].name, pairs[i].address) == -1) return -1;
  leave_binary(s);
  return 0;
}

int dload_file(State& s, const char* name, std::uint32_t address) {
  console_printf(s.console(), "dload [%s]\n", name);
  std::int64_t file_size = 0;
  BinaryFile f = open_image(name, file_size);
  if (!f) {
    console_printf(s.console(), "Can't open \"%s\"\n\r", name);
    return -1;
  }
  s.prompt_seen = false;
  const auto size = static_cast<std::uint32_t>(file_size);
  console_printf(s.console(), "%s  address:%08lx-%08lx size:%06lx  ", name,
                 static_cast<unsigned long>(address),
                 static_cast<unsigned long>(static_cast<std::uint32_t>(address + size - 1)),
                 static_cast<unsigned long>(size));
  send_transfer_header(s, address, size);
  const std::int64_t start = s.io.clock.seconds();
  if (s.abort_flag) return -1;

  std::uint8_t* chunk = s.transfer.data.data();
  std::uint32_t sent = 0;
  std::uint32_t read_total = 0;
  int read_error = 0;
  bool short_file = false;
  while (sent < size && !s.abort_flag) {
    const auto want =
        static_cast<std::uint32_t>(std::min<std::uint32_t>(TRANSFER_BUFFER_SIZE, size - sent));
    std::size_t got = 0;
    if (!short_file) {
      got = std::fread(chunk, 1, want, f.get());
      if (got < want) {
        short_file = true;
        if (std::ferror(f.get())) read_error = errno;
      }
    }
    // The header promised `size` bytes: what the file no longer gives goes out as zeros,
    // so the monitor is not left waiting for them.
    std::memset(chunk + got, 0, want - got);
    read_total += static_cast<std::uint32_t>(got);
    if (send_packets(s, chunk, static_cast<std::int32_t>(want)) != 0) {
      say_transfer_stopped(s);
      leave_binary(s);
      return -1;
    }
    sent += want;
    console_printf(s.console(), "%06lx:%5dsec.", static_cast<unsigned long>(sent),
                   static_cast<int>(s.io.clock.seconds() - start));
    console_put_backspaces(s.console(), PROGRESS_WIDTH);
  }
  console_write(s.console(), "\r\n");
  if (short_file) {
    console_printf(s.console(),
                   "\"%s\": only %06lx of %06lx bytes could be read (%s); the rest was sent "
                   "as zeros\n\r",
                   name, static_cast<unsigned long>(read_total), static_cast<unsigned long>(size),
                   read_error != 0 ? std::strerror(read_error) : "file shortened");
    return -1;
  }
  return s.abort_flag ? -1 : 0;
}

int dsave_command(State& s, char* argument) {
  const std::int64_t start = s.io.clock.seconds();
  char* words[3] = {};
  char name[DSAVE_NAME_SIZE];
  std::uint32_t address = 0;
  std::uint32_t size_word = 0;
  if (split_at_spaces(argument, words, 3) < 3 || !take_file_name(words[0], name) ||
      !parse_hex_word(words[1], address) || !parse_hex_word(words[2], size_word)) {
    console_write(s.console(), "filename adr size\n");
    return -1;
  }
  // A size of 0x80000000 or more counts as negative: nothing is read.
  const auto size = static_cast<std::int32_t>(size_word);

  // Created before binary mode, so a bad name leaves the monitor untouched.
  platform::ReplacingFile out;
  if (!out.open(name)) {
    console_printf(s.console(), "Can't create \"%s\": %s\n\r", name,
                   std::strerror(out.error_number()));
    return -1;
  }
  PartialOutput partial(s, name, out);

  enter_binary_read(s);
  std::int32_t remaining = size;
  bool write_failed = false;
  bool stopped = false;
  int write_errno = 0;
  while (remaining > 0 && !write_failed && !stopped) {
    console_printf(s.console(), "DSAVE %s %lx %lx/%lx\n", name, static_cast<unsigned long>(address),
                   static_cast<unsigned long>(size - remaining), static_cast<unsigned long>(size));
    send_transfer_header(s, address, TRANSFER_BUFFER_SIZE);
    address += TRANSFER_BUFFER_SIZE;
    if (receive_packets(s, s.transfer.data.data(), TRANSFER_BUFFER_SIZE) != 0) {
      stopped = true;
      break;
    }
    const auto n =
        static_cast<std::size_t>(std::min<std::int32_t>(remaining, TRANSFER_BUFFER_SIZE));
    errno = 0;
    if (std::fwrite(s.transfer.data.data(), 1, n, out.stream()) != n) {
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

  serial_write_byte(s.port, 0x0D);
  leave_binary(s);
  if (stopped) {
    say_transfer_stopped(s);
    return -1;
  }
  if (write_failed) {
    console_printf(s.console(), "Can't write \"%s\": %s\n\r", name,
                   write_errno != 0 ? std::strerror(write_errno) : "write failed");
    return -1;
  }
  console_printf(s.console(), "%ld(sec)\n", static_cast<long>(s.io.clock.seconds() - start));
  return 0;
}

}  // namespace dravel
