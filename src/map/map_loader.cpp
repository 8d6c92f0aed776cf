#include "map/map_loader.h"

#include "base/failure.h"
#include "map/json_parser.h"
#include "map/map_schema.h"

namespace rover {

MapSpec loadMap(const std::string& path) {
  MapLoadReport report;
  return loadMap(path, report);
}

MapSpec loadMap(const std::string& path, MapLoadReport& report) {
  JsonValue document;
  {
    FileByteSource file(path, report.detail);
    document = parseJson(file, report.position);
    file.close();
  }
  return buildMapSpec(document, report);
}

MapSpec loadMapFrom(ByteSource& source, MapLoadReport& report) {
  JsonValue document = parseJson(source, report.position);
  return buildMapSpec(document, report);
}

}  // namespace rover
