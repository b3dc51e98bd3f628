// A driver for the fuzz targets when no fuzzing engine is linked: each file
// argument is one input; without arguments, random inputs built from a
// markup and style-sheet alphabet run for a number of rounds. With clang,
// build the target sources with -fsanitize=fuzzer instead of this main.
//
// Example: build/bin/fuzz_css_parser 100000 runs 100000 random sheets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "host/MemoryHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

// Our host, installed once per process, without an options file; with the
// package (the markup manager and its registration) when asked.
kel::TMemoryHost& FuzzHost(bool WithPackage = false);

inline int FuzzMain(int argc, char** argv) {
  long Rounds = 20000;
  bool Files = false;
  for (int I = 1; I < argc; ++I) {
    std::ifstream In(argv[I], std::ios::binary);
    if (!In) {
      Rounds = std::strtol(argv[I], nullptr, 10);
      continue;
    }
    std::ostringstream S;
    S << In.rdbuf();
    const std::string Text = S.str();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(Text.data()), Text.size());
    Files = true;
  }
  if (Files) return 0;
  std::mt19937 Random(1);
  static const std::string Alphabet = "<>/=\"'&;%!?-{}()[]:,.#@*+~|\\ \n\tabcdpxz09\x80\xff";
  for (long R = 0; R < Rounds; ++R) {
    std::string T(Random() % 300, ' ');
    for (char& C : T) C = Alphabet[Random() % Alphabet.size()];
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(T.data()), T.size());
  }
  return 0;
}
