#pragma once

#include <cstdint>
#include <string>

namespace linkhaul::sim {

// Draws the four characters of a captcha answer as a PNG picture (a built-in 5x7 bitmap
// font, scaled, with a little jitter and noise derived from seed, so the same token always
// gives the same picture). Characters outside the captcha alphabet are drawn as boxes.
[[nodiscard]] std::string drawCaptchaPng(const std::string& answer, std::uint64_t seed);

}  // namespace linkhaul::sim
