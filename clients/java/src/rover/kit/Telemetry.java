package rover.kit;

import java.util.List;

/**
 * "T": what the rover senses, every 100 ms of a run and right after a bounce. control is the two
 * characters as the server writes them ("a-", "bL", ...); controls the same as states.
 */
public record Telemetry(
    long timeMs,
    String control,
    Controls controls,
    double x,
    double y,
    double heading,
    double speed,
    List<SeenObject> objects)
    implements Message {}
