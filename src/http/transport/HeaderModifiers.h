#pragma once

#include <cstdint>

// How a header line joins the ones a request already carries. The numbers are
// the ones the original internet API used, so callers can pass them through.
namespace linkhaul::transport {

// Add the line only when no header of that name is there yet.
inline constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
// Add the line; with REPLACE it replaces a header of that name instead.
inline constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD = 0x20000000;
// Replace a header of that name; an empty value removes it.
inline constexpr std::uint32_t HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

}  // namespace linkhaul::transport
