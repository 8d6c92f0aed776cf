package rover.kit;

/** "E": the run is over; lower scores are better. */
public record End(long timeMs, long scoreMs) implements Message {}
