#pragma once
// Reads and writes single typed values of the data file: the signature, 32-bit integers, dates
// and counted strings. Every value is one encrypted message of its own.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/date_time.h"
#include "store/value_stream.h"

namespace zelvant {

inline constexpr std::string_view kSignature = "_Zelvant";
inline constexpr std::int32_t kFileVersion = 101;

class CFileCodec {
  public:
    static bool ReadSignature(CValueReader& in, std::array<char, 8>& signature);
    static bool ReadInt(CValueReader& in, std::int32_t& value);
    static bool ReadDate(CValueReader& in, DateTimeValue& value);
    // A length of zero or less is the empty string. A length the rest of the file cannot hold
    // fails before anything is allocated.
    static bool ReadString(CValueReader& in, std::string& value);

    static bool WriteSignature(CValueWriter& out);
    static bool WriteInt(CValueWriter& out, std::int32_t value);
    static bool WriteDate(CValueWriter& out, const DateTimeValue& value);
    static bool WriteString(CValueWriter& out, std::string_view value);
};

}  // namespace zelvant
