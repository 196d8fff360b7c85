#pragma once

#include <string_view>

// The one reader of numbers kept as text (stored totals and line counts,
// port texts, schedule entry times, row totals of a dump file): optional
// leading white space, an optional sign, then the decimal digits up to the
// first character that is not one. No digits give 0. A value beyond the
// range of the result saturates at its limit.
long long LeadingInteger(std::string_view text);
// The same, clamped to the range of int.
int LeadingInt(std::string_view text);
