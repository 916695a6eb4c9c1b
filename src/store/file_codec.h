#pragma once
// Reads and writes single typed values of the data file: the signature, 32-bit integers, dates
// and counted strings, through the value stream of either form.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/date_time.h"
#include "store/record_arena.h"
#include "store/value_stream.h"

namespace zelvant {

inline constexpr std::string_view kSignature = "_Zelvant";
inline constexpr std::int32_t kFileVersion = 101;

class CFileCodec {
  public:
    static bool ReadSignature(IValueReader& in, std::array<char, 8>& signature);
    static bool ReadInt(IValueReader& in, std::int32_t& value);
    static bool ReadDate(IValueReader& in, DateTimeValue& value);
    // A length of zero or less is the empty string (a negative one fails where the reader is
    // strict). A length the rest of the file cannot hold fails before anything is allocated.
    static bool ReadString(IValueReader& in, std::string& value);
    // The same into memory of `arena`; an empty string takes none.
    static bool ReadString(IValueReader& in, CRecordArena& arena, std::span<char>& value);

    static bool WriteSignature(IValueWriter& out);
    static bool WriteInt(IValueWriter& out, std::int32_t value);
    static bool WriteDate(IValueWriter& out, const DateTimeValue& value);
    static bool WriteString(IValueWriter& out, std::string_view value);
};

}  // namespace zelvant
