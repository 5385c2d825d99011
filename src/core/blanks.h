#pragma once
// Blank skipping and whole numbers for command arguments, shared by the command rows and the
// loaders.

namespace dravel {

char* skip_blanks(char* text);
const char* skip_blanks(const char* text);
char* find_blank(char* text);
const char* find_blank(const char* text);
// A whole decimal number of at most `limit` at the start of `text`: the text after it, or
// nullptr (no digit, or too big) with `value` unchanged.
const char* parse_count(const char* text, int limit, int& value);

}  // namespace dravel
