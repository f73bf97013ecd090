#pragma once

#include <cstdint>

// The tag byte that starts every value of the value stream.
enum class ValueTag : std::uint8_t {
    ListEnd = 0x00,
    ListStart = 0x01,
    Int8 = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    String = 0x06,
    LongString = 0x0C,
};
