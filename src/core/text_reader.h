#pragma once
// Reads a file the way a text-mode stream does on the system this program was
// written for: a CR LF pair arrives as LF alone and a byte 0x1A ends the file.
// Scripts and S-record files are read this way on every platform.
#include <cstdint>
#include <cstdio>
#include <string>

namespace dravel {

class TextReader {
 public:
  TextReader() = default;
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  bool open(const std::string& path);
  // Takes over a stream already opened for binary reading; closes it in the end.
  bool adopt(std::FILE* file);
  bool is_open() const { return file_ != nullptr; }
  void close();
  // Like fgets with a buffer of `size` bytes: at most size - 1 characters, stopping
  // after a line feed, always zero-terminated. False at end of file or on error
  // when nothing was read.
  bool read_line(char* buf, int size);
  // Characters the last read_line took: a NUL in a line is counted, not an end.
  int last_length() const { return last_length_; }
  bool error() const { return error_; }
  int error_number() const { return errno_; }
  // Bytes of the underlying file consumed so far.
  long position() const { return pos_; }
  // Size of the file in bytes, or -1.
  long size() const;
  void rewind();

 private:
  int next_byte();
  std::FILE* file_ = nullptr;
  long pos_ = 0;
  bool eof_ = false;
  bool error_ = false;
  int errno_ = 0;
  int pending_ = -1;  // one byte looked at after a CR
  int last_length_ = 0;
};

}  // namespace dravel
