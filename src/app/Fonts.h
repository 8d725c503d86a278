#pragma once
namespace lumora {

// Reads the desktop's font configuration; for a WarmUpThread while the program connects to the
// window system, so the form's first caption finds it read.
void ReadFontConfiguration();

// The form names Windows font faces; map them onto what a Linux desktop has so Chinese captions
// render. Call once after the QApplication exists.
void installFontFallbacks();

}  // namespace lumora
