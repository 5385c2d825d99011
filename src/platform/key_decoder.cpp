#include "platform/key_decoder.h"

#include <charconv>

namespace dravel::platform {

namespace {

struct FinalKey {
  char final;
  KeyCode key;
};

// ESC [ <mods> X and ESC O <mods> X; lower-case arrows are rxvt's shifted and ctrl ones.
constexpr FinalKey LETTER_KEYS[] = {
    {'A', key::UP},  {'B', key::DOWN}, {'C', key::RIGHT}, {'D', key::LEFT}, {'H', key::HOME},
    {'F', key::END}, {'P', key::F1},   {'Q', key::F2},    {'R', key::F3},   {'S', key::F4},
    {'a', key::UP},  {'b', key::DOWN}, {'c', key::RIGHT}, {'d', key::LEFT},
};

// The Linux console's ESC [ [ A..E.
constexpr FinalKey LINUX_CONSOLE_KEYS[] = {
    {'A', key::F1}, {'B', key::F2}, {'C', key::F3}, {'D', key::F4}, {'E', key::F5},
};

struct NumberKey {
  int number;
  KeyCode key;
};

// ESC [ <n> ~ (rxvt ends modified ones with $ ^ @ instead).
constexpr NumberKey NUMBER_KEYS[] = {
    {1, key::HOME}, {2, key::INS},  {3, key::DEL},  {4, key::END},  {5, key::PGUP},
    {6, key::PGDN}, {7, key::HOME}, {8, key::END},  {11, key::F1},  {12, key::F2},
    {13, key::F3},  {14, key::F4},  {15, key::F5},  {17, key::F6},  {18, key::F7},
    {19, key::F8},  {20, key::F9},  {21, key::F10}, {23, key::F11}, {24, key::F12},
};

bool is_number_final(char c) {
  return c == '~' || c == '$' || c == '^' || c == '@';
}

bool is_final(std::uint8_t b) {
  return (b >= 0x40 && b <= 0x7E) || b == '$';
}

// The key a complete sequence stands for, or 0 when it is not one we know.
KeyCode decode(const std::string& seq) {
  char intro = seq[1];
  char final = seq.back();
  if (intro == '[' && seq.size() == 4 && seq[2] == '[') {
    for (const FinalKey& f : LINUX_CONSOLE_KEYS)
      if (f.final == final) return f.key;
    return 0;
  }
  if (intro == '[' && is_number_final(final)) {
    int n = 0;
    const char* first = seq.data() + 2;
    const char* last = seq.data() + seq.size() - 1;
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || (end != last && *end != ';')) return 0;
    for (const NumberKey& k : NUMBER_KEYS)
      if (k.number == n) return k.key;
    return 0;
  }
  for (const FinalKey& f : LETTER_KEYS)
    if (f.final == final) return f.key;
  return 0;
}

}  // namespace

void KeyDecoder::emit_key(KeyCode code) {
  out_.push_back(code);
}

void KeyDecoder::emit_sequence() {
  KeyCode k = decode(seq_);
  seq_.clear();
  if (k == 0) return;  // unknown: dropped whole, so no stray ESC ends the program
  out_.push_back(k);
}

void KeyDecoder::feed(std::uint8_t byte, std::int64_t now_ms) {
  expire(now_ms);
  now_ms_ = now_ms;
  process(byte);
}

void KeyDecoder::process(std::uint8_t byte) {
  if (discarding_) {
    // The rest of an overlong sequence, up to its final byte, is dropped with it.
    if (byte >= 0x20 && byte < 0x7F) {
      if (is_final(byte)) discarding_ = false;
      return;
    }
    discarding_ = false;
  }
  if (seq_.empty()) {
    if (byte == key::ESC) {
      seq_.push_back(static_cast<char>(byte));
      started_ms_ = now_ms_;
    } else if (byte == 0x7F) {
      emit_key(key::BACKSPACE);  // as the console the program was made for delivers it
    } else {
      emit_key(byte);
    }
    return;
  }
  if (seq_.size() == 1) {
    if (byte == '[' || byte == 'O') {
      seq_.push_back(static_cast<char>(byte));
    } else if (byte >= 0x20 && byte < 0x7F) {
      seq_.clear();  // Alt+key: not a key of ours
    } else {
      // ESC then a control key (or another ESC): the first ESC stood alone.
      seq_.clear();
      emit_key(key::ESC);
      process(byte);
    }
    return;
  }
  if (byte < 0x20 || byte >= 0x7F) {
    // A control byte cuts a sequence short; the byte itself is a key.
    seq_.clear();
    process(byte);
    return;
  }
  seq_.push_back(static_cast<char>(byte));
  if (seq_ == "\x1b[[") return;
  if (is_final(byte) && !(byte == '$' && seq_[1] != '[')) {
    emit_sequence();
  } else if (seq_.size() >= MAX_SEQUENCE) {
    seq_.clear();
    discarding_ = true;
  }
}

void KeyDecoder::expire(std::int64_t now_ms) {
  if (!seq_.empty() && now_ms - started_ms_ >= ESC_LOOKAHEAD_MS) flush();
}

void KeyDecoder::flush() {
  if (seq_.size() == 1) emit_key(key::ESC);
  seq_.clear();
}

std::int64_t KeyDecoder::ms_until_expiry(std::int64_t now_ms) const {
  if (seq_.empty()) return 0;
  std::int64_t left = started_ms_ + ESC_LOOKAHEAD_MS - now_ms;
  return left > 0 ? left : 0;
}

KeyCode KeyDecoder::take() {
  KeyCode b = out_.front();
  out_.pop_front();
  return b;
}

}  // namespace dravel::platform
