#pragma once

// The names a restore gives the tables it builds, known to the backup run as
// well: a row statement must still fit the server's packet once the restore
// has put its own table name in place of the one the file names.
//
// An Absolute restore builds every table of the file under a scratch name,
// "vorda_new_" + a run token of 8 hexadecimal digits + "_" + the table's
// place in the file (1, 2, ...), and, without safe copies, moves each
// original out of the way as "vorda_old_" + token + "_" + place before
// dropping it. A foreign key that the swap cannot rename by itself is
// named "vorda_fk_" + token + "_" + a counter until the swap is done.
// Plain lower-case letters, digits and underscores, well within the 64
// characters a name may have.

#include <cstddef>
#include <string>
#include <string_view>

namespace dump {

inline constexpr std::string_view kScratchTablePrefix = "vorda_new_";
inline constexpr std::string_view kOldTablePrefix = "vorda_old_";
inline constexpr std::string_view kScratchKeyPrefix = "vorda_fk_";
inline constexpr std::size_t kScratchTokenDigits = 8;

// The most bytes a restore's table name adds to a row statement: "VORDA_"
// before the name (Indirect), or a scratch name in its place (Absolute).
inline constexpr unsigned long long kRestoreNameGrowth = 32;

inline std::string ScratchName(std::string_view prefix, std::string_view token, std::size_t place)
{
    return std::string(prefix) + std::string(token) + "_" + std::to_string(place);
}

// Whether `name` is one of the scratch table names above (prefix, exactly
// 8 lower-case hexadecimal digits, "_", a number without a leading zero).
inline bool IsScratchTableName(std::string_view name, std::string_view prefix = kScratchTablePrefix)
{
    if (!name.starts_with(prefix))
        return false;
    name.remove_prefix(prefix.size());
    if (name.size() < kScratchTokenDigits + 2 || name[kScratchTokenDigits] != '_')
        return false;
    for (std::size_t i = 0; i < kScratchTokenDigits; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    const std::string_view place = name.substr(kScratchTokenDigits + 1);
    if (place.empty() || place[0] == '0')
        return false;
    for (char c : place) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace dump
