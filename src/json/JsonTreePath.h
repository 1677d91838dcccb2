#pragma once

// The query path grammar, walked step by step so that reading a value by
// path allocates nothing.
#include <cstdint>
#include <limits>
#include <string_view>

namespace linkhaul::json_path {

enum class PathWalk {
    COMPLETE,  // every step was delivered and accepted
    INVALID,   // the path cannot be split
    STOPPED,   // the step handler gave up (a step found nothing)
};

// Element number of an index step's digits; numbers past the 32-bit range
// saturate, which no array reaches.
inline std::int32_t stepNumber(std::string_view digits) {
    std::int64_t n = 0;
    for (char c : digits) {
        n = n * 10 + (c - '0');
        if (n > std::numeric_limits<std::int32_t>::max()) {
            return std::numeric_limits<std::int32_t>::max();
        }
    }
    return static_cast<std::int32_t>(n);
}

// Calls onStep(isIndex, text) for each step in order; onStep returns false to
// stop. Names run up to '.' or '['; '[digits]' is an index; ['key'] or
// ["key"] is a name that may hold '.' and '['. After ']' dots are optional.
template <class OnStep>
PathWalk walkPath(std::string_view path, OnStep&& onStep) {
    enum { SEGMENT, BRACKET, NAME, INDEX, QUOTED, AFTER_QUOTE, AFTER_CLOSE };
    int state = SEGMENT;
    std::size_t partStart = 0;
    std::size_t keyEnd = 0;
    char quote = '\0';
    const std::size_t size = path.size();
    std::size_t i = 0;
    while (i < size) {
        const char c = path[i];
        const bool atLast = i + 1 == size;
        switch (state) {
            case SEGMENT:
                if (c == '[') {
                    ++i;
                    state = BRACKET;
                } else if (c == ' ' || c == '\t') {
                    ++i;
                } else {
                    partStart = i;
                    state = NAME;
                }
                break;
            case BRACKET:
                if (c >= '0' && c <= '9') {
                    partStart = i;
                    state = INDEX;
                } else if (c == '\'' || c == '"') {
                    quote = c;
                    ++i;
                    partStart = i;
                    state = QUOTED;
                } else {
                    return PathWalk::INVALID;
                }
                break;
            case NAME: {
                // A name runs to the next '.' or '['; scan for it in one go.
                std::size_t stop = i;
                while (stop < size && path[stop] != '.' && path[stop] != '[') {
                    ++stop;
                }
                if (stop == size) {
                    return onStep(false, path.substr(partStart)) ? PathWalk::COMPLETE
                                                                 : PathWalk::STOPPED;
                }
                if (!onStep(false, path.substr(partStart, stop - partStart))) {
                    return PathWalk::STOPPED;
                }
                i = path[stop] == '.' ? stop + 1 : stop;
                state = SEGMENT;
                break;
            }
            case INDEX:
                if (c == ']') {
                    if (!onStep(true, path.substr(partStart, i - partStart))) {
                        return PathWalk::STOPPED;
                    }
                    if (atLast) {
                        return PathWalk::COMPLETE;
                    }
                    ++i;
                    state = AFTER_CLOSE;
                } else if (c >= '0' && c <= '9') {
                    ++i;
                } else {
                    return PathWalk::INVALID;
                }
                break;
            case QUOTED:
                if (c == quote) {
                    keyEnd = i;
                    state = AFTER_QUOTE;
                }
                ++i;
                break;
            case AFTER_QUOTE:
                if (c == ']') {
                    if (!onStep(false, path.substr(partStart, keyEnd - partStart))) {
                        return PathWalk::STOPPED;
                    }
                    if (atLast) {
                        return PathWalk::COMPLETE;
                    }
                    state = AFTER_CLOSE;
                }
                ++i;
                break;
            default:  // AFTER_CLOSE
                if (c == '[') {
                    ++i;
                    state = BRACKET;
                } else if (c == '.') {
                    ++i;
                } else {
                    state = SEGMENT;
                }
                break;
        }
    }
    return PathWalk::INVALID;
}

}  // namespace linkhaul::json_path
