// Commands that move the rover's controls toward a wanted state.
//
// Each command moves the acceleration state (-1..1) and the turn state (-2..2)
// by at most one notch: "a" +1, "b" -1, "l" turn +1, "r" turn -1, or one of
// each ("al", "ar", "bl", "br").

import { Controls } from './rover_messages.mjs';

/** A reply carries at most this many commands; the rest wait for the next T. */
export const MAX_COMMANDS_PER_REPLY = 2;

const toward = (now, wanted) => Math.sign(wanted - now);

/** The nearest state the rover can be in. */
export function clamp(controls) {
  return new Controls(Math.max(-1, Math.min(1, controls.accel)), Math.max(-2, Math.min(2, controls.turn)));
}

/** The commands ("a", "bl", ...) that move `now` to `wanted`, one notch of each per command. */
export function commandsToward(now, wanted) {
  wanted = clamp(wanted);
  const commands = [];
  while (!now.equals(wanted)) {
    const accel = toward(now.accel, wanted.accel);
    const turn = toward(now.turn, wanted.turn);
    commands.push((accel > 0 ? 'a' : accel < 0 ? 'b' : '') + (turn > 0 ? 'l' : turn < 0 ? 'r' : ''));
    now = new Controls(now.accel + accel, now.turn + turn);
  }
  return commands;
}

/** The state after the server has applied `commands` to `controls`. */
export function applyCommands(controls, commands) {
  for (const command of commands) {
    const has = (letter) => (command.includes(letter) ? 1 : 0);
    controls = clamp(new Controls(controls.accel + has('a') - has('b'), controls.turn + has('l') - has('r')));
  }
  return controls;
}

// Knows which controls the server will hold once it has read every command
// sent. The server reads commands every 50 ms of run time. In lockstep the T
// after a reply always shows it; in real time a slow reply can miss that
// read, and trusting the next T then would send the same notch twice.
export class ControlTracker {
  // A reply sent after the T of run time t has been read by t + 150 ms at the latest.
  static SETTLE_MS = 150;

  constructor() {
    this.startRun();
  }

  /** A run starts rolling straight, with nothing in flight. */
  startRun() {
    this.expected = new Controls();
    this.lastSentMs = -ControlTracker.SETTLE_MS;
  }

  /** The commands to send after this T to move toward `wanted` (at most two). */
  steer(telemetry, wanted) {
    if (telemetry.timeMs >= this.lastSentMs + ControlTracker.SETTLE_MS) this.expected = telemetry.controls;
    const commands = commandsToward(this.expected, wanted).slice(0, MAX_COMMANDS_PER_REPLY);
    if (commands.length > 0) {
      this.expected = applyCommands(this.expected, commands);
      this.lastSentMs = telemetry.timeMs;
    }
    return commands;
  }
}
