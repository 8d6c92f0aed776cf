package rover.kit;

import java.util.List;

/**
 * Knows which controls the server will hold once it has read every command sent so far. The server
 * reads commands every 50 ms, so the telemetry right after a reply may not show it yet; trusting that
 * telemetry would send the same notch twice.
 */
public final class ControlTracker {
  // A reply to the telemetry of run time t has certainly been applied by t + 100 ms.
  private static final long SETTLE_MS = 150;
  private Controls expected = Controls.NEUTRAL;
  private long lastSentMs = -SETTLE_MS;

  /** A run starts rolling straight with nothing pending. */
  public void startRun() {
    expected = Controls.NEUTRAL;
    lastSentMs = -SETTLE_MS;
  }

  /** The commands to send in reply to this telemetry so that the controls become wanted. */
  public List<String> steer(Telemetry telemetry, Controls wanted) {
    if (telemetry.timeMs() >= lastSentMs + SETTLE_MS) expected = telemetry.controls();
    List<String> commands = expected.commandsToward(wanted);
    if (!commands.isEmpty()) {
      expected = wanted;
      lastSentMs = telemetry.timeMs();
    }
    return commands;
  }
}
