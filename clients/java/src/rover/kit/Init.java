package rover.kit;

/**
 * "I": sent once, before the first run. The map spans -dx/2 .. dx/2; the home base is the circle of
 * radius 5 at the origin.
 */
public record Init(
    double dx,
    double dy,
    long timeLimitMs,
    double rearView,
    double frontView,
    double maxSpeed,
    double turn,
    double hardTurn)
    implements Message {}
