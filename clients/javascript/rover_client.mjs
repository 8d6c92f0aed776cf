// Plays a bot against the server over TCP.
//
//   process.exitCode = await run(new MyBot(), process.argv.slice(2));   // argv: [host] [port]
//
// Host and port default to localhost 17676. The same loop serves lockstep and
// real time: the server's bytes go to the Session, its replies go back at once.

import net from 'node:net';
import path from 'node:path';

import { ProtocolError } from './rover_messages.mjs';
import { Session } from './rover_session.mjs';

export const DEFAULT_HOST = 'localhost';
export const DEFAULT_PORT = 17676;

/** A connection to host:port, retried while nothing listens there yet (up to patienceMs). */
export function connect(host, port, patienceMs = 10000) {
  const deadline = Date.now() + patienceMs;
  return new Promise((resolve, reject) => {
    const attempt = () => {
      const socket = net.connect({ host, port });
      socket.once('connect', () => {
        socket.removeAllListeners('error');
        // Replies are tiny and the server reads them every 50 ms: send each at once.
        socket.setNoDelay(true);
        resolve(socket);
      });
      socket.once('error', (error) => {
        if (error.code === 'ECONNREFUSED' && Date.now() < deadline) setTimeout(attempt, 100);
        else reject(error);
      });
    };
    attempt();
  });
}

/** Plays every run; rejects with a ProtocolError or a system error when the game breaks. */
export async function play(bot, host = DEFAULT_HOST, port = DEFAULT_PORT) {
  const socket = await connect(host, port);
  const session = new Session(bot);
  return new Promise((resolve, reject) => {
    const finish = () => {
      if (session.canEndHere()) resolve();
      else reject(new ProtocolError('the server closed the connection during a run'));
    };
    socket.on('data', (chunk) => {
      try {
        const reply = session.onBytes(chunk);
        if (reply !== '') socket.write(reply, 'latin1');
      } catch (error) {
        socket.destroy();
        reject(error);
      }
    });
    socket.on('end', finish);
    socket.on('error', (error) => {
      // A server that closes while our last reply is unread resets the
      // connection, or is gone before that reply: after the last E both are
      // the game's end.
      if (error.code === 'ECONNRESET' || error.code === 'EPIPE') finish();
      else reject(error);
    });
  });
}

/** Plays with host and port from argv; resolves to the exit status (0 when every run was played). */
export async function run(bot, argv) {
  const name = path.basename(process.argv[1] ?? 'bot');
  if (argv.length > 2 || (argv.length === 2 && !/^[0-9]+$/.test(argv[1]))) {
    console.error(`usage: ${name} [host] [port]`);
    return 2;
  }
  try {
    await play(bot, argv[0] ?? DEFAULT_HOST, argv.length > 1 ? Number(argv[1]) : DEFAULT_PORT);
    return 0;
  } catch (error) {
    console.error(`${name}: ${error.message}`);
    return 1;
  }
}
