#pragma once
// A property that must hold for every input; a violation is a crash that libFuzzer keeps.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(Condition)                                                                                \
  do {                                                                                                       \
    if (!(Condition)) {                                                                                      \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #Condition);                \
      std::abort();                                                                                          \
    }                                                                                                        \
  } while (false)
