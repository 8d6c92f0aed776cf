#include "map/map_loader.h"

#include "map/json_parser.h"
#include "map/map_schema.h"

namespace rover {

MapSpec loadMap(const std::string& path) {
  FileByteSource file(path);
  return loadMapFrom(file);
}

MapSpec loadMapFrom(ByteSource& source) {
  const JsonDocument document = parseJson(source);
  // The file is closed before the checks run, so a close error is reported
  // even for a map the checks would reject.
  source.close();
  return buildMapSpec(document.root());
}

}  // namespace rover
