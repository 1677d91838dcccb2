#pragma once

// The share service's host names. Nothing else in the program spells them;
// tests send these hosts' connections to a local service with the transport's
// connect-to mapping, so requests still carry the real names.
namespace linkhaul::hosts {

inline constexpr const char* SHARE_WEB_HOST = "pan.baidu.com";
inline constexpr const char* ALTERNATE_SHARE_WEB_HOST = "yun.baidu.com";
inline constexpr const char* FIRST_DOWNLOAD_PREFIX = "http://d.pcs.baidu.com";
inline constexpr const char* REPLACEMENT_DOWNLOAD_PREFIX = "http://qdall01.baidupcs.com";

}  // namespace linkhaul::hosts
