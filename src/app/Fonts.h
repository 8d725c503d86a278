#pragma once

namespace lumora {

// The form names Windows font faces; map them onto what a Linux desktop has so Chinese captions
// render. Call once after the QApplication exists.
void installFontFallbacks();

}  // namespace lumora
