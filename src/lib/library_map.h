#pragma once

#include <sys/types.h>

#include <string>

#include "map/map_spec.h"
#include "record/map_bytes.h"

namespace rover {

// A map loaded once for many games: each game plays its own copy of the
// map's records (a game changes its run cells), and a game's record takes
// its header from `bytes`, read right after loading, as the server does.
struct LibraryMap {
  MapSpec records;
  MapBytes bytes;
  // The map's file, which no game's record may overwrite.
  dev_t device = 0;
  ino_t inode = 0;
};

// Loads the map as the server does; raises the loader's failures.
LibraryMap loadLibraryMap(const std::string& path);

}  // namespace rover
