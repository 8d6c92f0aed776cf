// The C interface of rover.h over SteppedGame: every call catches what the
// game raises and turns it into ROVER_ERROR and a message, since no
// exception may cross into the caller's language.
#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/failure_description.h"
#include "lib/library_map.h"
#include "lib/observation_row.h"
#include "lib/rover.h"
#include "lib/stepped_game.h"
#include "sim/world_step.h"

struct rover_map {
  rover::LibraryMap map;
};

struct rover_game {
  explicit rover_game(const rover_map& map, std::uint64_t seed, const std::string* recordPath)
      : game(map.map, seed, recordPath) {}
  rover::SteppedGame game;
  std::string error;  // the latest call's failure
};

namespace {

constexpr std::array<const char*, ROVER_ACTION_COUNT> kActionReplies = {";",    "a;;",  "b;;",  "l;;", "r;;",
                                                                        "al;;", "ar;;", "bl;;", "br;;"};

void copyError(const std::string& text, char* error, std::size_t size) {
  if (error != nullptr && size > 0) std::snprintf(error, size, "%s", text.c_str());
}

// Runs a call on a game: ROVER_ERROR with the game's error set when it raises.
template <class Call>
int onGame(rover_game* game, rover_step_info* info, Call call) {
  rover_step_info scratch;
  rover_step_info& out = info != nullptr ? *info : scratch;
  if (game != nullptr) {
    try {
      game->error.clear();
      call(out);
      return out.stop;
    } catch (const std::exception& error) {
      game->error = error.what();
    } catch (...) {
      game->error = "an unknown failure";
    }
  }
  out = rover_step_info{};
  out.stop = ROVER_ERROR;
  out.outcome = -1;
  return ROVER_ERROR;
}

// Runs `use` on the latest "T", read as far as its first `objects`
// objects: 0 when it returns true, else ROVER_ERROR.
template <class Use>
int onTelemetry(const rover_game* game, std::size_t objects, Use use) {
  if (game == nullptr) return ROVER_ERROR;
  try {
    const rover::TelemetryFields* telemetry = game->game.telemetry(objects);
    return telemetry != nullptr && use(*telemetry) ? 0 : ROVER_ERROR;
  } catch (...) {
    return ROVER_ERROR;
  }
}

bool validAction(int action) {
  return action >= 0 && action < ROVER_ACTION_COUNT;
}

}  // namespace

extern "C" {

int rover_api_version(void) {
  return ROVER_API_VERSION;
}

rover_map* rover_map_load(const char* path, char* error, size_t error_size) {
  if (path == nullptr) {
    copyError("no map path", error, error_size);
    return nullptr;
  }
  try {
    return new rover_map{rover::loadLibraryMap(path)};
  } catch (const rover::Failure& failure) {
    std::string line = rover::describeFailure(path, failure);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    copyError(line, error, error_size);
  } catch (const std::exception& failure) {
    copyError(std::string(path) + ": " + failure.what(), error, error_size);
  }
  return nullptr;
}

void rover_map_free(rover_map* map) {
  delete map;
}

int rover_map_runs(const rover_map* map) {
  return map == nullptr ? ROVER_ERROR : static_cast<int>(map->map.records.runs.size());
}

rover_game* rover_game_new(const rover_map* map, uint64_t seed, const char* record_path, char* error,
                           size_t error_size) {
  if (map == nullptr) {
    copyError("no map", error, error_size);
    return nullptr;
  }
  try {
    const std::string path = record_path != nullptr ? record_path : "";
    return new rover_game(*map, seed, record_path != nullptr ? &path : nullptr);
  } catch (const std::exception& failure) {
    copyError(failure.what(), error, error_size);
  }
  return nullptr;
}

void rover_game_free(rover_game* game) {
  delete game;
}

const char* rover_game_error(const rover_game* game) {
  if (game == nullptr) return "no game";
  return game->error.c_str();
}

int rover_next_run(rover_game* game, rover_step_info* info) {
  return onGame(game, info, [&](rover_step_info& out) { game->game.nextRun(out); });
}

int rover_step(rover_game* game, const char* reply, size_t size, rover_step_info* info) {
  return onGame(game, info, [&](rover_step_info& out) {
    game->game.step(std::string_view(reply != nullptr ? reply : "", reply != nullptr ? size : 0), out);
  });
}

int rover_step_action(rover_game* game, int action, rover_step_info* info) {
  return onGame(game, info, [&](rover_step_info& out) {
    if (!validAction(action)) rover::raiseFail("no action " + std::to_string(action) + " (0 to 8)");
    game->game.step(kActionReplies[static_cast<std::size_t>(action)], out);
  });
}

const char* rover_action_reply(int action) {
  return validAction(action) ? kActionReplies[static_cast<std::size_t>(action)] : "";
}

int rover_step_batch(rover_game* const* games, size_t count, const uint8_t* actions, rover_step_info* infos,
                     double* observations, size_t max_objects) {
  if (count > 0 && (games == nullptr || actions == nullptr || infos == nullptr)) return ROVER_ERROR;
  int status = 0;
  for (std::size_t i = 0; i < count; ++i) {
    rover_game* game = games[i];
    const int stop = onGame(game, &infos[i], [&](rover_step_info& out) {
      if (game->game.awaitingReply() && actions[i] != ROVER_BATCH_NEXT_RUN) {
        if (!validAction(actions[i]))
          rover::raiseFail("no action " + std::to_string(actions[i]) + " (0 to 8)");
        game->game.step(kActionReplies[actions[i]], out);
      } else {
        game->game.nextRun(out);
      }
    });
    if (stop == ROVER_ERROR) {
      status = ROVER_ERROR;
    } else if (observations != nullptr &&
               rover_observe(game, observations + i * ROVER_OBS_SIZE(max_objects), max_objects) != 0) {
      status = ROVER_ERROR;
    }
  }
  return status;
}

int rover_telemetry_read(const rover_game* game, rover_telemetry* out) {
  return onTelemetry(game, 0, [&](const rover::TelemetryFields& t) {
    if (out == nullptr) return false;
    *out = rover_telemetry{};
    out->time_ms = t.timeMillis;
    out->control[0] = t.control[0];
    out->control[1] = t.control[1];
    out->accel = static_cast<std::int8_t>(t.accel);
    out->turn = static_cast<std::int8_t>(t.turn);
    out->object_count = static_cast<std::uint32_t>(t.objectCount);
    out->x = t.x;
    out->y = t.y;
    out->heading = t.heading;
    out->speed = t.speed;
    return true;
  });
}

int rover_object_read(const rover_game* game, size_t index, rover_object* out) {
  return onTelemetry(game, index + 1, [&](const rover::TelemetryFields& t) {
    if (out == nullptr || index >= t.objects.size()) return false;
    const rover::SeenEntry& entry = t.objects[index];
    *out = rover_object{entry.kind, entry.x, entry.y, entry.radius, entry.heading, entry.speed};
    return true;
  });
}

int rover_observe(const rover_game* game, double* out, size_t max_objects) {
  return onTelemetry(game, max_objects, [&](const rover::TelemetryFields& t) {
    if (out == nullptr) return false;
    rover::writeObservation(t, out, max_objects);
    return true;
  });
}

const char* rover_telemetry_text(const rover_game* game, size_t* size) {
  if (game == nullptr) {
    if (size != nullptr) *size = 0;
    return "";
  }
  if (size != nullptr) *size = game->game.telemetryText().size();
  return game->game.telemetryText().c_str();
}

const char* rover_init_text(const rover_game* game, size_t* size) {
  if (game == nullptr) {
    if (size != nullptr) *size = 0;
    return "";
  }
  if (size != nullptr) *size = game->game.initText().size();
  return game->game.initText().c_str();
}

const char* rover_outcome_text(int outcome) {
  if (outcome < 0 || outcome > 3) return "";
  return rover::outcomeText(static_cast<rover::Outcome>(outcome));
}

}  // extern "C"
