package rover.kit;

import java.util.ArrayList;
import java.util.List;

/**
 * The rover's control states: accel -1 brake, 0 roll, 1 accelerate; turn -2 hard right .. 2 hard left.
 */
public record Controls(int accel, int turn) {
  /** The controls every run starts with: rolling straight ("--"). */
  public static final Controls NEUTRAL = new Controls(0, 0);

  private static final String ACCEL = "b-a";
  private static final String TURN = "Rr-lL";

  public Controls {
    if (accel < -1 || accel > 1 || turn < -2 || turn > 2) {
      throw new IllegalArgumentException("controls out of range: " + accel + ", " + turn);
    }
  }

  /** Reads the two characters telemetry shows ("a-", "bL", ...). */
  public static Controls fromText(String text) {
    int accel = text.length() == 2 ? ACCEL.indexOf(text.charAt(0)) : -1;
    int turn = text.length() == 2 ? TURN.indexOf(text.charAt(1)) : -1;
    if (accel < 0 || turn < 0) throw new ProtocolException("bad control field \"" + text + "\"");
    return new Controls(accel - 1, turn - 2);
  }

  /** The two characters telemetry would show for these controls. */
  public String text() {
    return "" + ACCEL.charAt(accel + 1) + TURN.charAt(turn + 2);
  }

  /** The controls after the server applied one command; a state already at its end stays there. */
  public Controls after(String command) {
    int a = accel + (command.contains("a") ? 1 : 0) - (command.contains("b") ? 1 : 0);
    int t = turn + (command.contains("l") ? 1 : 0) - (command.contains("r") ? 1 : 0);
    return new Controls(Math.max(-1, Math.min(1, a)), Math.max(-2, Math.min(2, t)));
  }

  /**
   * The commands ("a", "br", "l", ...) that move these controls to wanted: each moves either state by
   * one notch, so a hard turn from straight takes two. Empty when they are equal.
   */
  public List<String> commandsToward(Controls wanted) {
    List<String> commands = new ArrayList<>();
    int a = accel;
    int t = turn;
    while (a != wanted.accel || t != wanted.turn) {
      int stepA = Integer.signum(wanted.accel - a);
      int stepT = Integer.signum(wanted.turn - t);
      commands.add((stepA > 0 ? "a" : stepA < 0 ? "b" : "") + (stepT > 0 ? "l" : stepT < 0 ? "r" : ""));
      a += stepA;
      t += stepT;
    }
    return commands;
  }
}
