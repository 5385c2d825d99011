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

// An image to send: a readable file whose size fits the header's 32-bit count. Says why not.
BinaryFile open_image(Link& link, const char* name, std::int64_t& size) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) {
    console_printf(link.console(), "Can't open \"%s\": %s\n\r", name, std::strerror(EISDIR));
    return nullptr;
  }
  BinaryFile f = open_binary(name);
  if (!f) {
    console_printf(link.console(), "Can't open \"%s\": %s\n\r", name, open_failure().c_str());
    return nullptr;
  }
  size = binary_file_size(f.get());
  if (size < 0 || size > MAX_IMAGE_SIZE) {
    console_printf(link.console(), "Can't open \"%s\": %s\n\r", name,
                   size < 0 ? "its size cannot be read" : "larger than 4 GiB");
    return nullptr;
  }
  return f;
}

bool is_hex_digit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

int dload_command(Link& link, char* argument) {
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
      console_printf(link.console(), "\"%s\" file address missing\n", name);
      return -1;
    }
    pairs[count++] = {name, static_cast<std::uint32_t>(address)};
    p = skip_blanks(find_blank(p));
  }
  if (count == 0) return -1;
  // Every file must open, and fit below 4 GiB at its address, before binary mode.
  for (int i = 0; i < count; ++i) {
    std::int64_t size = 0;
    if (!open_image(link, pairs[i].name, size)) return -1;
    LoadImage image;
    image.pieces.push_back({pairs[i].address, static_cast<std::uint32_t>(size), 0, ""});
    if (std::string problem = image_problem(pairs[i].name, image, static_cast<std::uint64_t>(size));
        !problem.empty()) {
      console_write(link.console(), problem);
      return -1;
    }
  }
  BinarySession session(link, BinaryDirection::TO_BOARD);
  for (int i = 0; i < count; ++i)
    if (dload_file(link, session, pairs[i].name, pairs[i].address) == -1) return -1;
  return 0;
}

int dload_file(Link& link, BinarySession& session, const char* name, std::uint32_t address) {
  console_printf(link.console(), "dload [%s]\n", name);
  std::int64_t file_size = 0;
  BinaryFile f = open_image(link, name, file_size);
  if (!f) return -1;
  const auto size = static_cast<std::uint32_t>(file_size);
  console_printf(link.console(), "%s  address:%08lx-%08lx size:%06lx  ", name,
                 static_cast<unsigned long>(address),
                 static_cast<unsigned long>(static_cast<std::uint32_t>(address + size - 1)),
                 static_cast<unsigned long>(size));
  send_transfer_header(link, address, size);
  const TransferProgress progress{link, true, link.clock().seconds()};
  if (link.core.abort_flag) return -1;
  const PieceSent sent = send_piece_data(link, f.get(), size, progress);
  if (sent.stopped) {
    session.give_up();
    return -1;
  }
  if (sent.ran_short) {
    console_printf(link.console(),
                   "\"%s\": only %06lx of %06lx bytes could be read (%s); the rest was sent "
                   "as zeros\n\r",
                   name, static_cast<unsigned long>(sent.read), static_cast<unsigned long>(size),
                   sent.read_errno != 0 ? std::strerror(sent.read_errno) : "file shortened");
    return -1;
  }
  return link.core.abort_flag ? -1 : 0;
}

}  // namespace dravel
