import rover.kit.Bot;
import rover.kit.Client;
import rover.kit.Controls;
import rover.kit.Init;
import rover.kit.Telemetry;

/**
 * An example controller: drives straight at the home base, turning hard when it points far off and
 * slowing down for tight turns. It knows nothing of boulders, craters or Martians, so it gets home on
 * open ground (maps/open_plain.json) and is the place to start your own.
 *
 * <pre>
 *   java -cp build ExampleBot [host] [port]      (defaults: localhost 17676)
 * </pre>
 */
public final class ExampleBot implements Bot {
  private double maxSpeed = 10.0;

  @Override
  public void onInit(Init init) {
    maxSpeed = init.maxSpeed();
    System.out.printf(
        "map %.0f x %.0f, time limit %d ms, top speed %.3f%n",
        init.dx(), init.dy(), init.timeLimitMs(), maxSpeed);
  }

  @Override
  public Controls onTelemetry(Telemetry t) {
    // Heading error towards the origin, in (-180, 180] degrees; positive means home is to the left.
    double bearing = Math.toDegrees(Math.atan2(-t.y(), -t.x()));
    double error = normalize(bearing - t.heading());

    int turn;
    if (Math.abs(error) > 20) {
      turn = error > 0 ? 2 : -2; // hard turn
    } else if (Math.abs(error) > 3) {
      turn = error > 0 ? 1 : -1;
    } else {
      turn = 0;
    }

    // Fast when pointing home, slow while turning so the circle stays tight.
    double distance = Math.hypot(t.x(), t.y());
    double target = Math.abs(error) < 30 ? 0.6 * maxSpeed : 0.2 * maxSpeed;
    if (distance < 15) target = Math.min(target, 0.4 * maxSpeed);

    int accel;
    if (t.speed() < target - 0.3) {
      accel = 1;
    } else if (t.speed() > target + 0.5) {
      accel = -1;
    } else {
      accel = 0;
    }
    return new Controls(accel, turn);
  }

  private static double normalize(double degrees) {
    while (degrees <= -180) degrees += 360;
    while (degrees > 180) degrees -= 360;
    return degrees;
  }

  public static void main(String[] args) {
    Client.main(args, new ExampleBot());
  }
}
