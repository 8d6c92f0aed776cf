#include "lib/library_map.h"

#include "map/map_loader.h"

namespace rover {

LibraryMap loadLibraryMap(const std::string& path) {
  LibraryMap map{loadMap(path), {}};
  map.bytes = readMapBytes(path);
  return map;
}

}  // namespace rover
