#include "net/CurlLibrary.h"

#include <dlfcn.h>

#include <optional>

namespace lumora {
namespace {

template <class Function>
bool resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

std::optional<CurlLibrary> open() {
  void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!library) return std::nullopt;
  CurlLibrary c{};
  decltype(&curl_global_init) globalInit = nullptr;
  const bool complete =
      resolve(library, "curl_global_init", globalInit) &&
      resolve(library, "curl_easy_init", c.easy_init) &&
      resolve(library, "curl_easy_cleanup", c.easy_cleanup) &&
      resolve(library, "curl_easy_reset", c.easy_reset) &&
      resolve(library, "curl_easy_setopt", c.easy_setopt) &&
      resolve(library, "curl_easy_getinfo", c.easy_getinfo) &&
      resolve(library, "curl_multi_init", c.multi_init) &&
      resolve(library, "curl_multi_cleanup", c.multi_cleanup) &&
      resolve(library, "curl_multi_add_handle", c.multi_add_handle) &&
      resolve(library, "curl_multi_remove_handle", c.multi_remove_handle) &&
      resolve(library, "curl_multi_perform", c.multi_perform) &&
      resolve(library, "curl_multi_info_read", c.multi_info_read) &&
      resolve(library, "curl_multi_timeout", c.multi_timeout) &&
      resolve(library, "curl_multi_poll", c.multi_poll) &&
      resolve(library, "curl_slist_append", c.slist_append) &&
      resolve(library, "curl_slist_free_all", c.slist_free_all);
  // The library stays loaded for the rest of the run: its handles may live as long.
  if (!complete || globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return std::nullopt;
  return c;
}

}  // namespace

const CurlLibrary* LoadCurl() {
  static const std::optional<CurlLibrary> library = open();
  return library ? &*library : nullptr;
}

}  // namespace lumora
