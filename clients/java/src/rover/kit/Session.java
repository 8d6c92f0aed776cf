package rover.kit;

import java.util.function.Consumer;

/**
 * The controller's side of a game without any I/O: messages go in, replies come out. Every telemetry
 * message gets exactly one reply (the commands, then a bare ';'), as lockstep requires and real time
 * accepts, and the extra telemetry after a bounce is no exception.
 */
public final class Session {
  private final Bot bot;
  private final Consumer<String> report;
  private final ControlTracker tracker = new ControlTracker();
  private boolean initialized = false;
  private boolean inRun = false;
  private int run = 0;
  private String outcome = "";

  /** report receives one line per finished run ("run 1: reached home; time = 5940 ms; score = 5940"). */
  public Session(Bot bot, Consumer<String> report) {
    this.bot = bot;
    this.report = report;
  }

  /** Hands one message to the bot; returns the reply to send, or null when none is owed. */
  public String handle(Message message) {
    if (message instanceof Init init) {
      initialized = true;
      bot.onInit(init);
      return null;
    }
    if (!initialized) throw new ProtocolException("a message before the I message: " + message);
    if (message instanceof Telemetry telemetry) {
      if (!inRun) {
        inRun = true;
        outcome = "time limit exceeded";
        tracker.startRun();
        bot.onRunStart(++run);
      }
      StringBuilder reply = new StringBuilder();
      for (String command : tracker.steer(telemetry, bot.onTelemetry(telemetry))) {
        reply.append(command).append(';');
      }
      return reply.append(';').toString();
    }
    if (!inRun) throw new ProtocolException("a message outside a run: " + message);
    if (message instanceof Event event) {
      switch (event.kind()) {
        case 'C' -> outcome = "crashed into crater";
        case 'K' -> outcome = "killed by Martian";
        case 'S' -> outcome = "reached home";
        default -> {}
      }
      bot.onEvent(event);
    } else if (message instanceof End end) {
      inRun = false;
      bot.onEnd(end);
      report.accept(
          "run " + run + ": " + outcome + "; time = " + end.timeMs() + " ms; score = " + end.scoreMs());
    }
    return null;
  }

  /** True between a run's first telemetry message and its end. */
  public boolean inRun() {
    return inRun;
  }
}
