#pragma once

// How linkhaul-cli prints entries: aligned columns for a person, or one JSON
// object a line for scripts. Input texts are ANSI; output is UTF-8.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "shareapi/ShareEntry.h"

namespace linkhaul::cli {

// Terminal columns a UTF-8 text takes: wide (CJK, Hangul, emoji) characters
// take two.
[[nodiscard]] std::size_t displayWidth(std::string_view utf8);

// A JSON string literal of a UTF-8 text.
[[nodiscard]] std::string jsonQuote(std::string_view utf8);

void printEntries(std::ostream& out, const std::vector<ShareEntry>& entries);
void printEntriesJson(std::ostream& out, const std::vector<ShareEntry>& entries);

}  // namespace linkhaul::cli
