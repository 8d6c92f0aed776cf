package rover.kit;

/**
 * One object of a telemetry message. kind is 'b' boulder, 'c' crater, 'h' home (these fill radius) or
 * 'm' Martian (fills heading and speed).
 */
public record SeenObject(char kind, double x, double y, double radius, double heading, double speed) {}
