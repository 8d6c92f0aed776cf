// map_gen [FILE]: writes the generated crowded map (about 5.9 MB) to FILE or
// to standard output, for timing mapcheck or any other reader on it.
#include <cstdio>

#include "crowded_map.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fputs("usage: map_gen [file]\n", stderr);
    return 1;
  }
  std::string text = rover::bench::crowdedMapText({});
  std::FILE* out = argc == 2 ? std::fopen(argv[1], "wb") : stdout;
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
      std::fclose(out) != 0) {
    std::perror("map_gen");
    return 1;
  }
  return 0;
}
