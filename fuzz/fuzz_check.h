// What the fuzz targets share: a check that stops the run on a broken property.
#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the process with a message naming the property that does not hold;
// libFuzzer then saves the input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)
