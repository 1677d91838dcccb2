#include "platform/Clock.h"

#include <ctime>

namespace linkhaul::platform {

bool localTimeOf(std::int64_t unixSeconds, ClockReading& out) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) {
        return false;
    }
    out.unixSeconds = unixSeconds;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return true;
}

ClockReading readClock() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    ClockReading reading;
    if (!localTimeOf(ts.tv_sec, reading)) {
        reading.unixSeconds = ts.tv_sec;
    }
    reading.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return reading;
}

}  // namespace linkhaul::platform
