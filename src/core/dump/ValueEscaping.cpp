#include "core/dump/ValueEscaping.h"

#include <array>

namespace {

// Bytes that a value may not carry unescaped inside apostrophes.
constexpr std::array<const char*, 256> MakeEscapeTable()
{
    std::array<const char*, 256> table {};
    table[0] = "\\0";
    table['\n'] = "\\n";
    table['\r'] = "\\r";
    table['\\'] = "\\\\";
    table['\''] = "\\'";
    table['"'] = "\\\"";
    table[26] = "\\Z";
    return table;
}
constexpr std::array<const char*, 256> kEscapes = MakeEscapeTable();

} // namespace

void AppendEscaped(std::string& out, const char* data, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        const char* escape = kEscapes[static_cast<unsigned char>(data[i])];
        if (escape) {
            out.append(data + start, i - start);
            out.append(escape, 2);
            start = i + 1;
        }
    }
    out.append(data + start, length - start);
}

void AppendValue(std::string& out, const char* data, size_t length)
{
    if (!data) {
        out += "NULL";
        return;
    }
    out += '\'';
    AppendEscaped(out, data, length);
    out += '\'';
}

std::string DecodeSqlLiteral(const std::string& literal)
{
    if (literal.empty() || literal.front() != '\'')
        return literal;
    std::string value;
    for (size_t i = 1; i < literal.size(); ++i) {
        const char c = literal[i];
        if (c == '\'') {
            if (i + 1 < literal.size() && literal[i + 1] == '\'') {
                value += '\'';
                ++i;
                continue;
            }
            break;
        }
        if (c == '\\' && i + 1 < literal.size()) {
            const char n = literal[++i];
            switch (n) {
            case '0': value += '\0'; break;
            case 'b': value += '\b'; break;
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'Z': value += '\032'; break;
            case '%':
            case '_':
                value += '\\';
                value += n;
                break;
            default: value += n; break;
            }
            continue;
        }
        value += c;
    }
    return value;
}
