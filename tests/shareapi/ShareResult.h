#pragma once

// Reading a share client's result text back the way its callers do.
#include <string>
#include <string_view>

#include "json/JsonDocument.h"
#include "platform/CodePage.h"

namespace linkhaul {

inline std::string ansi(std::string_view utf8) {
    return platform::utf8ToAnsi(utf8);
}

struct Outcome {
    bool parsed = false;
    bool state = false;
    std::string reason;  // UTF-8
    std::string count;
    std::string dlink;
};

inline Outcome readResult(const std::string& text) {
    JsonDocument doc;
    Outcome out;
    out.parsed = doc.parse(text);
    out.state = doc.boolAt("state");
    out.reason = platform::ansiToUtf8(doc.textAt(ansi("原因")));
    out.count = doc.textAt(ansi("文件数量"));
    out.dlink = doc.textAt("dlink");
    return out;
}

}  // namespace linkhaul
