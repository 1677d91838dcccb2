#include "app/DisplayFormat.h"

#include <cmath>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/CodePage.h"

namespace linkhaul {
namespace {

constexpr double EPS = 1e-7;
constexpr double KIB = 1024.0;
constexpr double MIB = 1048576.0;
constexpr double GIB = 1073741824.0;

// Halves away from zero; the tiny bias keeps values such as 1.005, stored as
// 1.00499999…, from rounding down.
double roundTwoPlaces(double v) {
    const double scaled = std::fabs(v) * 100.0 + 1e-12;
    double whole = 0;
    const double fraction = std::modf(scaled, &whole);
    if (fraction >= 0.5) {
        whole += 1;
    }
    const double magnitude = whole / 100.0;
    return v < 0 ? -magnitude : magnitude;
}

struct DateMarks {
    std::string year = platform::utf8ToAnsi("年");
    std::string month = platform::utf8ToAnsi("月");
    std::string day = platform::utf8ToAnsi("日");
    std::string hour = platform::utf8ToAnsi("时");
    std::string minute = platform::utf8ToAnsi("分");
    std::string second = platform::utf8ToAnsi("秒");
};

}  // namespace

std::string formatSize(double bytes) {
    double v = bytes;
    const char* unit = "";
    if (v - KIB < -EPS) {
        unit = "B";
    }
    // Each step tests the value the previous one left, so at most one
    // division happens. Exact powers of 1024 take the larger unit ("1 KB").
    if (v - KIB > -EPS && v - MIB < -EPS && v - GIB < -EPS) {
        v /= KIB;
        unit = "KB";
    }
    if (v - MIB > -EPS && v - GIB < -EPS) {
        v /= MIB;
        unit = "MB";
    }
    if (v - GIB > -EPS) {
        v /= GIB;
        unit = "GB";
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.13g", roundTwoPlaces(v));
    return std::string(number) + " " + unit;
}

std::string formatMtime(std::int64_t seconds) {
    platform::ClockReading t;
    if (!platform::localTimeOf(seconds, t)) {
        return {};
    }
    static const DateMarks marks;
    std::string out = std::to_string(t.year) + marks.year + std::to_string(t.month) + marks.month +
                      std::to_string(t.day) + marks.day;
    // The time part stops at the last field that is not zero.
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        out += std::to_string(t.hour) + marks.hour;
    }
    if (t.minute != 0 || t.second != 0) {
        out += std::to_string(t.minute) + marks.minute;
    }
    if (t.second != 0) {
        out += std::to_string(t.second) + marks.second;
    }
    return out;
}

std::string logTimestamp() {
    const platform::ClockReading t = platform::readClock();
    char text[64];
    std::snprintf(text, sizeof text, "%d.%02d.%02d-%02d.%02d.%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace linkhaul
