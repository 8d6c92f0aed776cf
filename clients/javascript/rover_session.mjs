// A controller without the socket: bytes from the server in, replies out.
//
// Write a bot by extending Bot; Session calls it for each message and turns
// the controls it wants into exactly one reply per T: the commands (at most
// two), then a bare ";". That is what a lockstep server waits for, and it
// works in real time alike.

import { ControlTracker } from './rover_controls.mjs';
import { Controls, End, Event, Init, MessageReader, ProtocolError, Telemetry } from './rover_messages.mjs';

/** Override onTelemetry; the other calls are there when you need them. */
export class Bot {
  /** The map's parameters, once before the first run. */
  onInit(init) {}
  /** A run begins (run 1, 2, ...); its first T follows. */
  onRunStart(run) {}
  /** The controls wanted now, as new Controls(accel, turn). */
  onTelemetry(telemetry) {
    return new Controls();
  }
  /** B, C, K or S happened at event.timeMs. */
  onEvent(event) {}
  /** The run is over with end.scoreMs (lower is better). */
  onEnd(end) {}
}

/** Feeds a bot the server's messages and collects its replies. */
export class Session {
  constructor(bot) {
    this.bot = bot;
    this.runsFinished = 0;
    this.reader = new MessageReader();
    this.tracker = new ControlTracker();
    this.initialized = false;
    this.inRun = false;
  }

  /** The reply text to send for `chunk` (one reply per T in it); throws ProtocolError. */
  onBytes(chunk) {
    let replies = '';
    for (const message of this.reader.feed(chunk)) {
      if (message instanceof Telemetry) {
        this.startRunIfNew();
        const commands = this.tracker.steer(message, this.bot.onTelemetry(message));
        replies += commands.map((command) => command + ';').join('') + ';';
      } else if (message instanceof Init) {
        this.initialized = true;
        this.bot.onInit(message);
      } else if (!this.inRun) {
        throw new ProtocolError(`${message.constructor.name} outside a run`);
      } else if (message instanceof Event) {
        this.bot.onEvent(message);
      } else if (message instanceof End) {
        this.inRun = false;
        this.runsFinished += 1;
        this.bot.onEnd(message);
      }
    }
    return replies;
  }

  /** Whether the stream may end now: between runs and not inside a message. */
  canEndHere() {
    return !this.inRun && !this.reader.midMessage();
  }

  startRunIfNew() {
    if (!this.initialized) throw new ProtocolError('T before the I message');
    if (!this.inRun) {
      this.inRun = true;
      this.tracker.startRun();
      this.bot.onRunStart(this.runsFinished + 1);
    }
  }
}
