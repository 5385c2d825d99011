#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/blanks.h"
#include "core/console_out.h"
#include "link/binary_session.h"
#include "link/block_protocol.h"
#include "link/link.h"
#include "loader/binary_file.h"
#include "loader/dload_dsave.h"
#include "loader/image_sender.h"
#include "loader/load_image.h"

namespace dravel {

namespace {

constexpr int MAX_DLOAD_PAIRS = 20;
constexpr std::int64_t MAX_IMAGE_SIZE = 0xFFFFFFFFLL;

struct DloadPair {
  const char* name;
  std::uint32_t address;
};

// An image to send: a readable file whose size fits the header's 32-bit count. Else null,
// and `why` says why.
BinaryFile open_image(const char* name, std::int64_t& size, std::string& why) {
  std::error_code ec;
  const char* problem = nullptr;
  std::string reason;
  BinaryFile f;
  if (std::filesystem::is_directory(name, ec)) {
    problem = std::strerror(EISDIR);
  } else if (f = open_binary(name); !f) {
    reason = open_failure();
    problem = reason.c_str();
  } else if (size = binary_file_size(f.get()); size < 0 || size > MAX_IMAGE_SIZE) {
    problem = size < 0 ? "its size cannot be read" : "larger than 4 GiB";
  }
  if (problem == nullptr) return f;
  why = format_text("Can't open \"%s\": %s\n\r", name, problem);
  return nullptr;
}

bool is_hex_digit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

CommandResult dload_command(Link& link, char* argument) {
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
    if (!is_hex_digit(*p) || errno == ERANGE || address > 0xFFFFFFFFULL)
      return CommandResult::failed(format_text("\"%s\" file address missing\n", name));
    pairs[count++] = {name, static_cast<std::uint32_t>(address)};
    p = skip_blanks(find_blank(p));
  }
  if (count == 0) return CommandResult::failed();
  // Every file must open, and fit below 4 GiB at its address, before binary mode.
  for (int i = 0; i < count; ++i) {
    std::int64_t size = 0;
    std::string why;
    if (!open_image(pairs[i].name, size, why)) return CommandResult::failed(why);
    LoadImage image;
    image.pieces.push_back({pairs[i].address, static_cast<std::uint32_t>(size), 0, ""});
    if (std::string problem = image_problem(pairs[i].name, image, static_cast<std::uint64_t>(size));
        !problem.empty())
      return CommandResult::failed(problem);
  }
  BinarySession session(link, BinaryDirection::ToBoard);
  for (int i = 0; i < count; ++i)
    if (!dload_file(link, session, pairs[i].name, pairs[i].address)) return CommandResult::failed();
  return CommandResult::done();
}

// Messages here are said at once: the session is still open, and a lost line would unwind
// through it before a result could be printed.
bool dload_file(Link& link, BinarySession& session, const char* name, std::uint32_t address) {
  console_printf(link.console(), "dload [%s]\n", name);
  std::int64_t file_size = 0;
  std::string why;
  BinaryFile f = open_image(name, file_size, why);
  if (!f) {
    console_write(link.console(), why);
    return false;
  }
  const auto size = static_cast<std::uint32_t>(file_size);
  console_printf(link.console(), "%s  address:%08lx-%08lx size:%06lx  ", name,
                 static_cast<unsigned long>(address),
                 static_cast<unsigned long>(static_cast<std::uint32_t>(address + size - 1)),
                 static_cast<unsigned long>(size));
  send_transfer_header(link, address, size);
  const TransferProgress progress{link, true, link.clock().seconds()};
  if (link.core.abort_flag) return false;
  const PieceSent sent = send_piece_data(link, f.get(), size, progress);
  if (sent.stopped) {
    session.give_up();
    return false;
  }
  if (sent.ran_short) {
    console_printf(link.console(),
                   "\"%s\": only %06lx of %06lx bytes could be read (%s); the rest was sent "
                   "as zeros\n\r",
                   name, static_cast<unsigned long>(sent.read), static_cast<unsigned long>(size),
                   sent.read_errno != 0 ? std::strerror(sent.read_errno) : "file shortened");
    return false;
  }
  return !link.core.abort_flag;
}

}  // namespace dravel
