"""One spectator's Server-Sent Events stream of one record.

The record so far comes in batches of lines, then each new line as it
arrives. An event's data holds its lines one per `data:` field, and its id
names the game so far (see RecordFollower.event_id), so a browser that lost
the connection resumes after its last event with no gap and no repeat, and
one whose record was replaced starts afresh after a `reset` event. Named
events end the stream: `end` after the footer, `stale` when the record stopped
growing without one, `fault` when it cannot be followed. A resumed request
after the footer gets 204, which tells the browser not to reconnect.
"""

import record_follower as rf

BATCH_LINES = 2000
BATCH_BYTES = 1 << 20
KEEP_ALIVE_S = 15
RETRY_MS = 1000
RESUME_WAIT_S = 10


def serve_stream(handler, follower, last_event_id):
    """Answers one GET of the stream; returns when it ends or the client
    goes away."""
    f = follower
    with f.cond:
        start, reset = 0, False
        if last_event_id:
            count = _count_in(last_event_id)
            f.cond.wait_for(lambda: f.has_read(count), timeout=RESUME_WAIT_S)
            resumed = f.resume_point(last_event_id)
            if resumed is None:
                reset = True
            elif resumed == len(f.lines) and f.state == rf.ENDED:
                handler.send_response(204)
                handler.send_header("Content-Length", "0")
                handler.end_headers()
                return
            else:
                start = resumed
        generation = f.generation
    handler.send_response(200)
    handler.send_header("Content-Type", "text/event-stream; charset=utf-8")
    handler.send_header("Cache-Control", "no-store")
    handler.send_header("X-Accel-Buffering", "no")
    handler.end_headers()
    out = handler.wfile
    try:
        out.write(b"retry: %d\n\n" % RETRY_MS)
        if reset:
            out.write(b"event: reset\ndata: \n\n")
        out.flush()
        _follow(out, f, start, generation)
    except (BrokenPipeError, ConnectionResetError, TimeoutError):
        pass


def _follow(out, f, sent, generation):
    told_waiting = False
    while True:
        with f.cond:
            f.cond.wait_for(lambda: f.generation != generation or len(f.lines) > sent or
                            f.state in (rf.ENDED, rf.STALE, rf.FAULT) or
                            (f.state == rf.WAITING and not told_waiting), timeout=KEEP_ALIVE_S)
            if f.generation != generation:
                generation, sent, told_waiting = f.generation, 0, False
                event = b"event: reset\ndata: \n\n"
            elif len(f.lines) > sent:
                batch, size = [], 0
                for line in f.lines[sent:sent + BATCH_LINES]:
                    batch.append(line)
                    size += len(line)
                    if size >= BATCH_BYTES:
                        break
                sent += len(batch)
                event = b"id: %s\ndata: %s\n\n" % (f.event_id(sent).encode(), b"\ndata: ".join(batch))
            elif f.state == rf.ENDED:
                event = b"event: end\ndata: \n\n"
            elif f.state == rf.STALE:
                event = b"event: stale\ndata: %d\n\n" % f.stale_s
            elif f.state == rf.FAULT:
                event = b"event: fault\ndata: %s\n\n" % f.fault.encode()
            elif f.state == rf.WAITING and not told_waiting:
                told_waiting, event = True, b"event: waiting\ndata: \n\n"
            else:
                event = b": keep-alive\n\n"
            final = event.startswith((b"event: end", b"event: stale", b"event: fault"))
        out.write(event)
        out.flush()
        if final:
            return


def _count_in(last_event_id):
    try:
        return int(last_event_id.split(".")[0])
    except ValueError:
        return 0
