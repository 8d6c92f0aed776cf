package rover.kit;

/**
 * A controller's decisions. {@link Session} calls these in the order the messages arrive and turns the
 * controls wanted after each telemetry message into the commands of its one reply.
 */
public interface Bot {
  /** The map's size, time limit and the rover's abilities, once before the first run. */
  default void onInit(Init init) {}

  /** A run begins (1, 2, ...); its first telemetry message follows. */
  default void onRunStart(int run) {}

  /** The controls wanted from now on; return telemetry.controls() to keep them. */
  Controls onTelemetry(Telemetry telemetry);

  /** A bounce ('B'), or how the run ended ('C', 'K', 'S'). */
  default void onEvent(Event event) {}

  /** The run is over, with its score. */
  default void onEnd(End end) {}
}
