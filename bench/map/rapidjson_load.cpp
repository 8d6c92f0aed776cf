// rapidjson_load: the yardstick for the map reader's whole-process speed.
// Reads a map file whole and parses it with RapidJSON, comments allowed,
// reals correctly rounded and without recursion (as the map reader reads),
// then prints how many boulders it holds; exit status 1 when it cannot.
//
//   rapidjson_load MAP
#include <rapidjson/document.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: rapidjson_load map.json\n", stderr);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::string text;
  char block[1 << 16];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) text.append(block, got);
  std::fclose(in);
  constexpr unsigned kFlags =
      rapidjson::kParseCommentsFlag | rapidjson::kParseFullPrecisionFlag | rapidjson::kParseIterativeFlag;
  rapidjson::Document document;
  document.Parse<kFlags>(text.data(), text.size());
  if (document.HasParseError() || !document.IsObject() || !document.HasMember("boulders") ||
      !document["boulders"].IsArray()) {
    std::fprintf(stderr, "rapidjson_load: %s is no map\n", argv[1]);
    return 1;
  }
  std::printf("%u boulders\n", document["boulders"].Size());
  return 0;
}
