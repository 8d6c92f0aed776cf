package rover.kit;

/**
 * "B" bounce (a telemetry message follows at once), "C" crater, "K" caught by a Martian or "S" home;
 * the last three end the run.
 */
public record Event(char kind, long timeMs) implements Message {}
