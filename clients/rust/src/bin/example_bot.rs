//! An example controller: drives straight at the home base, turning hard when it points far off
//! and slowing down for tight turns. It knows nothing of boulders, craters or Martians, so it gets
//! home on open ground (maps/open_plain.json) and is the place to start your own.
//!
//!     target/release/example_bot [host] [port]      (defaults: localhost 17676)

use rover_kit::{client, Bot, Controls, Init, Telemetry};

struct ExampleBot {
    max_speed: f64,
}

impl Bot for ExampleBot {
    fn on_init(&mut self, init: &Init) {
        self.max_speed = init.max_speed;
        println!(
            "map {:.0} x {:.0}, time limit {} ms, top speed {:.3}",
            init.dx, init.dy, init.time_limit_ms, init.max_speed
        );
    }

    fn on_telemetry(&mut self, t: &Telemetry) -> Controls {
        // Heading error towards the origin, in (-180, 180] degrees; positive means home is to the left.
        let bearing = (-t.y).atan2(-t.x).to_degrees();
        let error = normalize(bearing - t.heading);

        let turn = if error.abs() > 20.0 {
            if error > 0.0 {
                2
            } else {
                -2
            } // hard turn
        } else if error.abs() > 3.0 {
            if error > 0.0 {
                1
            } else {
                -1
            }
        } else {
            0
        };

        // Fast when pointing home, slow while turning so the circle stays tight.
        let distance = t.x.hypot(t.y);
        let mut target = if error.abs() < 30.0 { 0.6 * self.max_speed } else { 0.2 * self.max_speed };
        if distance < 15.0 {
            target = target.min(0.4 * self.max_speed);
        }

        let accel = if t.speed < target - 0.3 {
            1
        } else if t.speed > target + 0.5 {
            -1
        } else {
            0
        };
        Controls::new(accel, turn)
    }
}

fn normalize(mut degrees: f64) -> f64 {
    while degrees <= -180.0 {
        degrees += 360.0;
    }
    while degrees > 180.0 {
        degrees -= 360.0;
    }
    degrees
}

fn main() {
    client::main(ExampleBot { max_speed: 10.0 });
}
