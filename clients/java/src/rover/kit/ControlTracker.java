package rover.kit;

import java.util.List;

/**
 * Knows which controls the server will hold once it has read every command sent so far. The server
 * reads commands every 50 ms, so the telemetry right after a reply may not show it yet; trusting that
 * telemetry would send the same notch twice.
 */
public final class ControlTracker {
  /** A reply carries at most this many commands; the rest wait for the next telemetry. */
  public static final int MAX_COMMANDS_PER_REPLY = 2;

  // A reply to the telemetry of run time t has certainly been applied by t + 100 ms.
  private static final long SETTLE_MS = 150;
  private Controls expected = Controls.NEUTRAL;
  private long lastSentMs = -SETTLE_MS;

  /** A run starts rolling straight with nothing pending. */
  public void startRun() {
    expected = Controls.NEUTRAL;
    lastSentMs = -SETTLE_MS;
  }

  /** The commands to send in reply to this telemetry to move the controls toward wanted. */
  public List<String> steer(Telemetry telemetry, Controls wanted) {
    if (telemetry.timeMs() >= lastSentMs + SETTLE_MS) expected = telemetry.controls();
    List<String> commands = expected.commandsToward(wanted);
    if (commands.size() > MAX_COMMANDS_PER_REPLY) commands = commands.subList(0, MAX_COMMANDS_PER_REPLY);
    for (String command : commands) expected = expected.after(command);
    if (!commands.isEmpty()) lastSentMs = telemetry.timeMs();
    return commands;
  }
}
