#!/usr/bin/env node
// An example bot: drives straight home, slowing down to turn.
//
//   node example_bot.mjs [host] [port]       (defaults: localhost 17676)
//
// It knows nothing of boulders, craters or Martians, so it gets home on open
// ground (maps/open_plain.json) and is a starting point, not a contender. The
// kit does the protocol; a bot only says which controls it wants after each T.
// Prints one line per run and exits 0 when the server ends the game.

import { run } from './rover_client.mjs';
import { Controls, outcomeText } from './rover_messages.mjs';
import { Bot } from './rover_session.mjs';

/** to - heading in degrees, brought into [-180, 180). */
function angleDifference(to, heading) {
  const difference = (to - heading + 180) % 360;
  return (difference < 0 ? difference + 360 : difference) - 180;
}

class HomingBot extends Bot {
  constructor() {
    super();
    this.maxSpeed = 10;
    this.run = 0;
    this.ending = null;
  }

  onInit(init) {
    this.maxSpeed = init.maxSpeed;
    console.log(`map ${init.sizeX} x ${init.sizeY}, time limit ${init.timeLimitMs} ms, top speed ${init.maxSpeed}`);
  }

  onRunStart(run) {
    this.run = run;
    this.ending = null;
  }

  onTelemetry(t) {
    const error = angleDifference((Math.atan2(-t.y, -t.x) * 180) / Math.PI, t.heading);
    // Hard turns for large errors, gentle ones to trim, none when on course.
    let turn = 0;
    if (Math.abs(error) > 20) turn = error > 0 ? 2 : -2;
    else if (Math.abs(error) > 3) turn = error > 0 ? 1 : -1;
    // Slow down for sharp turns: the circle a turn drives shrinks with the speed.
    const target = this.maxSpeed * (Math.abs(error) < 30 ? 0.6 : 0.2);
    let accel = 0;
    if (t.speed < target - 0.3) accel = 1;
    else if (t.speed > target + 0.5) accel = -1;
    return new Controls(accel, turn);
  }

  onEvent(event) {
    if (event.kind !== 'B') this.ending = event.kind;
  }

  onEnd(end) {
    console.log(`run ${this.run}: ${outcomeText(this.ending)}; time = ${end.timeMs} ms; score = ${end.scoreMs}`);
  }
}

process.exitCode = await run(new HomingBot(), process.argv.slice(2));
