#include "core/text_reader.h"

#include <cerrno>

namespace dravel {

TextReader::~TextReader() {
  close();
}

bool TextReader::open(const std::string& path) {
  return adopt(std::fopen(path.c_str(), "rb"));
}

bool TextReader::adopt(std::FILE* file) {
  close();
  file_ = file;
  pos_ = 0;
  eof_ = false;
  error_ = false;
  errno_ = 0;
  pending_ = -1;
  return file_ != nullptr;
}

void TextReader::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

int TextReader::next_byte() {
  if (eof_) return EOF;
  int c;
  if (pending_ >= 0) {
    c = pending_;
    pending_ = -1;
  } else {
    c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) {
        error_ = true;
        errno_ = errno;
      }
      eof_ = true;
      return EOF;
    }
    ++pos_;
  }
  if (c == 0x1A) {
    eof_ = true;
    return EOF;
  }
  if (c == '\r') {
    int d = std::getc(file_);
    if (d == '\n') {
      ++pos_;
      return '\n';
    }
    if (d != EOF) {
      ++pos_;
      pending_ = d;
    }
  }
  return c;
}

bool TextReader::read_line(char* buf, int size) {
  if (file_ == nullptr || size <= 0) return false;
  int n = 0;
  while (n < size - 1) {
    int c = next_byte();
    if (c == EOF) break;
    buf[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[n] = '\0';
  last_length_ = n;
  return n > 0;
}

long TextReader::size() const {
  if (file_ == nullptr) return -1;
  long here = std::ftell(file_);
  if (std::fseek(file_, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(file_);
  std::fseek(file_, here, SEEK_SET);
  return end;
}

void TextReader::rewind() {
  if (file_ == nullptr) return;
  std::rewind(file_);
  pos_ = 0;
  eof_ = false;
  error_ = false;
  pending_ = -1;
}

}  // namespace dravel
