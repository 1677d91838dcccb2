#pragma once

// Test literals are UTF-8 source; the code under test holds ANSI bytes.
#include <string>

#include "platform/CodePage.h"

namespace linkhaul::testing {

inline std::string ansi(const char* utf8) {
    return platform::utf8ToAnsi(utf8);
}

}  // namespace linkhaul::testing
