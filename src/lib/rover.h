/*
 * librover: the rover game as a library, played step by step by its caller.
 *
 * The games are the server's own: the same map reader, simulation, messages
 * and lockstep input, built by the same game builder. A game here is a
 * lockstep game with reply timeout 0 (`server --lockstep --reply-timeout 0
 * --seed S`): the caller is its controller and answers every "T" with one
 * reply. The same seed and replies give the same game, byte for byte.
 *
 *   rover_map* map = rover_map_load("maps/open_plain.json", error, sizeof error);
 *   rover_game* game = rover_game_new(map, 0, NULL, error, sizeof error);
 *   rover_step_info info;
 *   rover_next_run(game, &info);                     // to run 1's first T
 *   while (info.stop == ROVER_TELEMETRY)
 *     rover_step_action(game, ROVER_ACTION_A, &info); // ...to its end
 *
 * No globals and no threads: games are independent of each other, and a
 * game or map is used by one thread at a time. Failures come back as
 * ROVER_ERROR with a message; nothing is thrown through this interface.
 * docs/library.md describes every call with worked examples.
 */
#ifndef ROVER_H
#define ROVER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ROVER_API __attribute__((visibility("default")))
#else
#define ROVER_API
#endif

/* The version of this interface; rover_api_version() returns it. */
#define ROVER_API_VERSION 1

typedef struct rover_map rover_map;
typedef struct rover_game rover_game;

/* Where a step, or a move to the next run, stopped. */
enum rover_stop {
  ROVER_ERROR = -1,    /* a failure, which rover_game_error() names */
  ROVER_TELEMETRY = 1, /* a "T" message: the observation, owed one reply */
  ROVER_RUN_END = 2,   /* the run has ended ("E"): outcome and score are set */
  ROVER_GAME_END = 3   /* rover_next_run after the last run: no run is left */
};

/* Run outcomes, as the record's "code" and the results numbers them. */
enum rover_outcome {
  ROVER_KILLED_BY_MARTIAN = 0,
  ROVER_CRASHED_INTO_CRATER = 1,
  ROVER_TIME_LIMIT_EXCEEDED = 2,
  ROVER_REACHED_HOME = 3
};

/* The nine actions of rover_step_action, each one reply: nothing (";"),
 * "a;;", "b;;", "l;;", "r;;", "al;;", "ar;;", "bl;;", "br;;". */
enum rover_action {
  ROVER_ACTION_NOTHING = 0,
  ROVER_ACTION_A = 1,
  ROVER_ACTION_B = 2,
  ROVER_ACTION_L = 3,
  ROVER_ACTION_R = 4,
  ROVER_ACTION_AL = 5,
  ROVER_ACTION_AR = 6,
  ROVER_ACTION_BL = 7,
  ROVER_ACTION_BR = 8,
  ROVER_ACTION_COUNT = 9
};

/* What one step met. Times are run times in whole milliseconds. */
typedef struct rover_step_info {
  int32_t stop;       /* enum rover_stop */
  int32_t run;        /* the run it stopped in, 1 for the first */
  int64_t time_ms;    /* the stop's time: the "T"'s, or the "E"'s at a run end */
  int64_t covered_ms; /* run time from the previous "T" of the run to this stop */
  int32_t outcome;    /* at ROVER_RUN_END: enum rover_outcome; else -1 */
  int32_t started;    /* 1 when the stop is a run's first "T" */
  int64_t score_ms;   /* at ROVER_RUN_END: the run's score; else 0 */
  char events[8];     /* the letters of the B, C, K, S and E messages met, in order, NUL-ended */
} rover_step_info;

/* One "T" message's fields, each real the double nearest its text. */
typedef struct rover_telemetry {
  int64_t time_ms;
  char control[2];       /* the control field as sent, e.g. "a-" */
  int8_t accel;          /* the same as states: -1 brake, 0 roll, 1 accelerate */
  int8_t turn;           /* -2 hard right .. 2 hard left */
  uint32_t object_count; /* the objects that follow the fixed fields */
  double x, y, heading, speed;
} rover_telemetry;

/* One object of a "T" message: kind 'b', 'c', 'h' (x, y, radius) or 'm' (x, y, heading, speed). */
typedef struct rover_object {
  char kind;
  double x, y, radius, heading, speed;
} rover_object;

/* The flat observation rover_observe writes: ROVER_OBS_FIXED doubles
 * (time_ms, accel, turn, x, y, heading, speed, object count), then
 * ROVER_OBS_OBJECT doubles for each of the first max_objects objects (kind
 * 1 boulder, 2 crater, 3 home, 4 Martian; x; y; radius; heading; speed),
 * zeros for the slots no object fills. */
#define ROVER_OBS_FIXED 8
#define ROVER_OBS_OBJECT 6
#define ROVER_OBS_SIZE(max_objects) (ROVER_OBS_FIXED + ROVER_OBS_OBJECT * (max_objects))

ROVER_API int rover_api_version(void);

/* Loads a map as the server does. NULL on failure, with the reason (the
 * file, the place and the kind, as mapcheck gives them) in `error`. */
ROVER_API rover_map* rover_map_load(const char* path, char* error, size_t error_size);
ROVER_API void rover_map_free(rover_map* map);
/* The number of runs of the map. */
ROVER_API int rover_map_runs(const rover_map* map);

/* A new game on the map (which must outlive it) with the Martians' seed.
 * With `record_path`, the game writes its record there (gzip when the path
 * ends in ".gz"), in the server's format: `replay verify` accepts it. The
 * path must be new or a regular file (which is emptied), and not the map's
 * file under any name. NULL on failure, with the reason in `error`. The
 * game starts with rover_next_run. */
ROVER_API rover_game* rover_game_new(const rover_map* map, uint64_t seed, const char* record_path,
                                     char* error, size_t error_size);
/* Frees the game; a record of a game not played to its end is left without its footer. */
ROVER_API void rover_game_free(rover_game* game);
/* Why the game's latest call failed, or "" when it did not; valid until its
 * next call. A failure of the game itself (a reply that breaks the protocol,
 * as it would end a server's game) ends it, and every later call fails; a
 * call out of turn (a step when no "T" awaits a reply, an action out of
 * range) fails without harming it. */
ROVER_API const char* rover_game_error(const rover_game* game);

/* Moves the game to the first "T" of its next run: ROVER_TELEMETRY, or
 * ROVER_GAME_END after the last run. Runs cannot be skipped (one generator
 * drives the Martians of all runs): a run still in play is first played to
 * its end, every "T" answered with the empty reply ";". */
ROVER_API int rover_next_run(rover_game* game, rover_step_info* info);
/* Hands over the reply to the latest "T" (its bytes as a controller would
 * send them, e.g. "a;l;;") and plays to the next "T" or to the run's end:
 * ROVER_TELEMETRY or ROVER_RUN_END. ROVER_ERROR when the reply breaks the
 * protocol, as it would end a server's game, or when no "T" awaits a reply. */
ROVER_API int rover_step(rover_game* game, const char* reply, size_t size, rover_step_info* info);
/* rover_step with the reply of an enum rover_action. */
ROVER_API int rover_step_action(rover_game* game, int action, rover_step_info* info);
/* The reply text of an action ("" for one out of range). */
ROVER_API const char* rover_action_reply(int action);

/* In rover_step_batch's actions: move this game to its next run. */
#define ROVER_BATCH_NEXT_RUN 255

/* Steps `count` games at once: game i with actions[i] when a "T" of its
 * awaits a reply; when its run has ended or it has not started, or when
 * actions[i] is ROVER_BATCH_NEXT_RUN, it moves to its next run instead
 * (rover_next_run). infos[i] gets what game
 * i met and, when `observations` is not NULL, row i of it (ROVER_OBS_SIZE
 * (max_objects) doubles) the observation after the step (rover_observe).
 * Returns 0, or ROVER_ERROR when any game failed (its info says so). */
ROVER_API int rover_step_batch(rover_game* const* games, size_t count, const uint8_t* actions,
                               rover_step_info* infos, double* observations, size_t max_objects);

/* The latest "T" of the game: 0, or ROVER_ERROR before the first one. */
ROVER_API int rover_telemetry_read(const rover_game* game, rover_telemetry* out);
/* Object `index` (in the message's order) of the latest "T"; ROVER_ERROR when there is none. */
ROVER_API int rover_object_read(const rover_game* game, size_t index, rover_object* out);
/* The latest "T" as the flat observation above; ROVER_ERROR before the first "T". */
ROVER_API int rover_observe(const rover_game* game, double* out, size_t max_objects);
/* The latest "T" message's text through its ";" ("" before the first). */
ROVER_API const char* rover_telemetry_text(const rover_game* game, size_t* size);
/* The "I" message's text through its ";" ("" before the game has started). */
ROVER_API const char* rover_init_text(const rover_game* game, size_t* size);

/* The server's words for an outcome ("reached home", ...); "" for no outcome. */
ROVER_API const char* rover_outcome_text(int outcome);

#ifdef __cplusplus
}
#endif

#endif /* ROVER_H */
