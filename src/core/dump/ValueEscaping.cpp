#include "core/dump/ValueEscaping.h"

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The offset of the first byte from `i` on that needs escaping, or `length`.
// Values are mostly plain text: sixteen bytes are looked at in one go.
size_t NextEscaped(const char* data, size_t i, size_t length)
{
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i apostrophe = _mm_set1_epi8('\'');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i ctrlZ = _mm_set1_epi8(26);
    for (; i + 16 <= length; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, lf)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, backslash))),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, apostrophe), _mm_cmpeq_epi8(v, quote)),
                         _mm_cmpeq_epi8(v, ctrlZ)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < length; ++i) {
        if (kEscapes[static_cast<unsigned char>(data[i])])
            return i;
    }
    return length;
}

} // namespace

void AppendEscaped(std::string& out, const char* data, size_t length)
{
    size_t start = 0;
    for (size_t i = NextEscaped(data, 0, length); i < length; i = NextEscaped(data, start, length)) {
        out.append(data + start, i - start);
        out.append(kEscapes[static_cast<unsigned char>(data[i])], 2);
        start = i + 1;
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
