#pragma once

#include <cstdint>
#include <string>

namespace linkhaul {

// The message for one of the service's error numbers, as ANSI text;
// "未知错误ID:<n>" for a number the table does not hold.
[[nodiscard]] std::string errnoText(std::int32_t errnoValue);

}  // namespace linkhaul
