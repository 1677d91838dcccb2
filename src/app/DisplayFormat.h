#pragma once

// The texts of the list view's size and date columns and the log's time
// stamp. Results are ANSI (GB18030) text.
#include <cstdint>
#include <string>

namespace linkhaul {

// "1.5 KB", "1023 B", "3.99 GB": two decimals at most, trailing zeros dropped.
[[nodiscard]] std::string formatSize(double bytes);

// "2018年3月10日2时20分5秒" in local time; trailing zero time fields are left
// out, so a time at midnight shows the date alone. Empty for a date the
// platform cannot represent.
[[nodiscard]] std::string formatMtime(std::int64_t seconds);

// "2018.03.10-02.20.05": the current local time.
[[nodiscard]] std::string logTimestamp();

}  // namespace linkhaul
