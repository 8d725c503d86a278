#pragma once
// libcurl, loaded with its own forty-odd libraries on the first transfer (on the thread that
// runs it) instead of by the dynamic loader before the program's first paint.
#include <curl/curl.h>

namespace lumora {

struct CurlLibrary {
  decltype(&curl_easy_init) easy_init;
  decltype(&curl_easy_cleanup) easy_cleanup;
  decltype(&curl_easy_reset) easy_reset;
  decltype(&curl_easy_setopt) easy_setopt;
  decltype(&curl_easy_getinfo) easy_getinfo;
  decltype(&curl_multi_init) multi_init;
  decltype(&curl_multi_cleanup) multi_cleanup;
  decltype(&curl_multi_add_handle) multi_add_handle;
  decltype(&curl_multi_remove_handle) multi_remove_handle;
  decltype(&curl_multi_perform) multi_perform;
  decltype(&curl_multi_info_read) multi_info_read;
  decltype(&curl_multi_timeout) multi_timeout;
  decltype(&curl_multi_poll) multi_poll;
  decltype(&curl_slist_append) slist_append;
  decltype(&curl_slist_free_all) slist_free_all;
};

// Loaded and initialised once, from any thread; null when libcurl cannot be loaded.
const CurlLibrary* LoadCurl();

// Once LoadCurl has succeeded.
inline const CurlLibrary& Curl() { return *LoadCurl(); }

}  // namespace lumora
