#include "http/transport/ConnectTo.h"

namespace linkhaul::transport {
namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

bool isPort(std::string_view s) {
    if (s.empty() || s.size() > 5) {
        return false;
    }
    int value = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        value = value * 10 + (ch - '0');
    }
    return value >= 1 && value <= 65535;
}

bool isHost(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (unsigned char ch : s) {
        if (ch <= ' ' || ch >= 0x7F || ch == ',' || ch == '/') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> parseConnectTo(std::string_view text) {
    std::vector<std::string> entries;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = trimBlanks(text.substr(0, comma));
        if (!entry.empty()) {
            std::string_view fields[4];
            std::string_view rest = entry;
            for (int i = 0; i < 3; ++i) {
                const std::size_t colon = rest.find(':');
                if (colon == std::string_view::npos) {
                    return std::nullopt;
                }
                fields[i] = rest.substr(0, colon);
                rest.remove_prefix(colon + 1);
            }
            fields[3] = rest;
            if (!isHost(fields[0]) || !isPort(fields[1]) || !isHost(fields[2]) ||
                !isPort(fields[3])) {
                return std::nullopt;
            }
            entries.emplace_back(entry);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return entries;
}

}  // namespace linkhaul::transport
