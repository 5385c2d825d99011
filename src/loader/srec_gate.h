#pragma once
// The S-record check (loader/srec_check.h) with its message, for the sender and the load
// command, so a file with a line that is not a record is refused before any byte goes out.
#include <string>

namespace dravel {

class TextReader;

// Empty for a sound file, else "\"%s\" is not S-format file\n\r" (and, unless the first line
// simply does not begin with 'S', the bad line's number and fault); the reader is rewound.
std::string srec_file_refusal(const char* name, TextReader& file);
// The same for a file by name; a file that cannot be opened is left to the sender.
std::string srec_file_refusal(const char* name);

}  // namespace dravel
