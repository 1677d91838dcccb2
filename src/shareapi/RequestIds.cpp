#include "shareapi/RequestIds.h"

#include "platform/Base64.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/RandomDigits.h"

namespace linkhaul {

std::string makeTimestamp() {
    const platform::ClockReading now = platform::readClock();
    const std::string millis = std::to_string(now.millisecond + 1000).substr(1);
    return std::to_string(now.unixSeconds) + millis;
}

std::string makeLogId(bool base64, std::optional<int> digits) {
    const int count = (!digits || *digits == 0) ? 19 : *digits;
    const std::string random = platform::randomDigits(count);
    if (!base64) {
        return random;
    }
    return platform::base64Encode(makeTimestamp() + "." + random);
}

std::string urlEncodeUtf8(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    static constexpr char HEX[] = "0123456789ABCDEF";
    const std::string utf8 = platform::ansiToUtf8(ansi);
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out.push_back(ch);
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(HEX[c >> 4]);
            out.push_back(HEX[c & 15]);
        }
    }
    return out;
}

}  // namespace linkhaul
