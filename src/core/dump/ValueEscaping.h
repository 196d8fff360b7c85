#pragma once

#include <cstddef>
#include <string>

// Appends a value as the row statements write it: NULL for a SQL NULL (a null
// `data`), otherwise in apostrophes, escaped by AppendEscaped.
void AppendValue(std::string& out, const char* data, size_t length);
// Appends bytes with backslash, apostrophe, double quote, NUL, line feed,
// carriage return and Ctrl-Z escaped, over their full length. The result
// depends on the bytes alone (no character set, no server mode).
void AppendEscaped(std::string& out, const char* data, size_t length);

// A text in the form of a SQL string literal ('...' with '' or backslash
// escapes) as the value it stands for; any other text as it is.
std::string DecodeSqlLiteral(const std::string& literal);
