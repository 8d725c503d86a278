#pragma once
// A small music library shaped like a real one, made by make_test_library.py: all six formats,
// album artists, compilations on two discs, featuring tracks, covers and lyrics of every kind,
// Latin-1 and GBK text, names that are not UTF-8, and files that are not audio.
// <dir>/library.json lists each file with what a reader should find in it.
#include <filesystem>
#include <string>

namespace lumora::test {

// Fills dir (which may exist); false, with the maker's complaint in error, when it failed.
bool MakeTestLibrary(const std::filesystem::path& dir, std::string& error);

}  // namespace lumora::test
