#pragma once
// The settings file's bytes: a 4-byte little-endian length, the text, zero bytes up to a
// multiple of 8, all enciphered with DES in ECB mode under a key folded from a fixed key text.
#include <string>
#include <string_view>

namespace lumora {

// The file bytes for the (GBK) settings text.
std::string EncipherSettings(std::string_view text);

// The settings text held in file bytes; empty when the size is not a multiple of 8 or the stored
// length does not fit the size.
std::string DecipherSettings(std::string_view file);

}  // namespace lumora
