#include "lib/library_map.h"

#include <sys/stat.h>

#include "map/map_loader.h"

namespace rover {

LibraryMap loadLibraryMap(const std::string& path) {
  LibraryMap map{loadMap(path), {}};
  map.bytes = readMapBytes(path);
  struct stat file {};
  if (::stat(path.c_str(), &file) == 0) {
    map.device = file.st_dev;
    map.inode = file.st_ino;
  }
  return map;
}

}  // namespace rover
