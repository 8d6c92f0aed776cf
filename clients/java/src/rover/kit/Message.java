package rover.kit;

/** One message from the server: {@link Init}, {@link Telemetry}, {@link Event} or {@link End}. */
public sealed interface Message permits Init, Telemetry, Event, End {}
