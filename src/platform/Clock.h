#pragma once

#include <cstdint>

namespace linkhaul::platform {

// One reading of the clock: the Unix time and the same instant as local
// wall-clock fields, so that callers never mix two different instants.
struct ClockReading {
    std::int64_t unixSeconds = 0;
    int millisecond = 0;  // 0..999
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
};

[[nodiscard]] ClockReading readClock();

// Local wall-clock fields of a given Unix time (in the process's time zone).
// Returns false when the platform cannot represent that date.
[[nodiscard]] bool localTimeOf(std::int64_t unixSeconds, ClockReading& out);

}  // namespace linkhaul::platform
