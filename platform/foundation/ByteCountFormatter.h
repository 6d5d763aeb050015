#pragma once

#include <cstdint>
#include <string>

namespace foundation {

// Byte counts as people read them, worded the way desktop file managers word them: the largest unit
// the count reaches ("bytes", "KB", "MB", "GB", "TB", "PB", "EB"), whole numbers up to KB, one
// fraction digit for MB and two from GB on, trailing zeros dropped, "," between thousands, "."
// before the fraction in every locale; 1 is "1 byte" and 0 is "Zero KB".
//
// Pure; any thread.
class ByteCountFormatter {
public:
    // File and decimal count in 1000s, memory and binary in 1024s.
    enum class CountStyle { file = 0, memory = 1, decimal = 2, binary = 3 };

    static std::string string(std::int64_t byteCount, CountStyle style);
};

} // namespace foundation
