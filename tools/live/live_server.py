"""The HTTP side of tools/live: what each URL serves.

    /                      a page listing the records, with links
    /viewer/...            the viewer's own files (index.html for /viewer/)
    /live/ID               a record's event stream (event_stream.py)
    /records/ID            a record's file as it is now

Records are named by the id they were given on the command line, never by a
path. Everything else, a folder, and any path that leaves the viewer's
folder (`..`, `%2e%2e`, an absolute path, a symbolic link out) is 404. No
request is logged: tools/live writes nothing.
"""

import html
import http.server
import os
import shutil
import socket
import urllib.parse

import event_stream
import safe_paths

CONTENT_TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".json": "application/json",
    ".png": "image/png",
    ".svg": "image/svg+xml",
}

# The viewer needs nothing from elsewhere; a page can then not be made to
# run or load anything that a record's text might smuggle in.
POLICY = ("default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
          "form-action 'none'; frame-ancestors 'none'")


class LiveHandler(http.server.BaseHTTPRequestHandler):
    server_version = "rover-live"
    # Set by make_server: the viewer's real folder, {id: (path, follower)},
    # and the Host headers accepted (None: any).
    viewer_root = None
    records = {}
    allowed_hosts = None

    def log_message(self, format, *args):
        pass

    def do_HEAD(self):
        self.do_GET(head=True)

    def do_GET(self, head=False):
        if self.allowed_hosts is not None and self.headers.get("Host", "").lower() not in self.allowed_hosts:
            # A page of another site that got its name resolved to this
            # machine (DNS rebinding) must not read the games.
            return self.send_bytes(b"unknown host\n", "text/plain; charset=utf-8", head, status=403)
        path = urllib.parse.urlsplit(self.path).path
        if path == "/":
            return self.send_bytes(self.index_page(), "text/html; charset=utf-8", head)
        if path == "/viewer":
            return self.redirect("/viewer/")
        if path.startswith("/viewer/"):
            rest = path[len("/viewer/"):] or "index.html"
            return self.send_file(safe_paths.open_inside(self.viewer_root, rest), rest, head)
        for prefix in ("/live/", "/records/"):
            if path.startswith(prefix):
                record = self.records.get(urllib.parse.unquote(path[len(prefix):]))
                if record is None:
                    break
                if prefix == "/records/":
                    return self.send_file(safe_paths.open_regular(record[0]), record[0], head)
                if head:
                    return self.send_bytes(b"", "text/event-stream", head)
                return event_stream.serve_stream(self, record[1], self.headers.get("Last-Event-ID"))
        self.send_bytes(b"not found\n", "text/plain; charset=utf-8", head, status=404)

    def send_file(self, f, name, head):
        if f is None:
            return self.send_bytes(b"not found\n", "text/plain; charset=utf-8", head, status=404)
        with f:
            size = os.fstat(f.fileno()).st_size
            self.send_response(200)
            self.send_header("Content-Type", CONTENT_TYPES.get(os.path.splitext(name)[1], "application/octet-stream"))
            self.send_header("Content-Length", str(size))
            self.common_headers()
            self.end_headers()
            if not head:
                try:
                    shutil.copyfileobj(f, self.wfile)
                except (BrokenPipeError, ConnectionResetError):
                    pass

    def send_bytes(self, body, content_type, head, status=200):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.common_headers()
        self.end_headers()
        if not head:
            self.wfile.write(body)

    def common_headers(self):
        self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Content-Security-Policy", POLICY)

    def redirect(self, where):
        self.send_response(301)
        self.send_header("Location", where)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def index_page(self):
        rows = []
        for rid, (path, follower) in self.records.items():
            with follower.cond:
                state, lines = follower.state, len(follower.lines)
            live = "/viewer/?live=" + urllib.parse.quote("/live/" + rid, safe="/")
            rows.append("<tr><td><a href=\"%s\">%s</a></td><td>%s</td><td>%s</td><td>%d lines</td>"
                        "<td><a href=\"/records/%s\">file</a></td></tr>" % (
                            html.escape(live), html.escape(rid), html.escape(os.path.basename(path)),
                            html.escape(state), lines, html.escape(urllib.parse.quote(rid))))
        return ("<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Live games</title>"
                "</head><body><h1>Live games</h1><table><tr><th>view</th><th>record</th><th>state</th>"
                "<th>so far</th><th></th></tr>%s</table></body></html>\n" % "".join(rows)).encode()


class LiveServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A spectator that goes away is no news, and tools/live prints
        # nothing per request.
        pass


def make_server(host, port, viewer_root, records, base=LiveHandler):
    """records: anything with get(id) -> (path, follower) or None (and
    items(), for the index page of `base`). Raises OSError when it cannot
    listen."""
    handler = type("Handler", (base,), {"viewer_root": viewer_root, "records": records})
    server_class = type("Server", (LiveServer,), {"address_family": socket.AF_INET6 if ":" in host else socket.AF_INET})
    server = server_class((host, port), handler)
    if host in ("127.0.0.1", "::1", "localhost"):
        # On loopback only this machine's own names reach it.
        port = server.server_address[1]
        handler.allowed_hosts = {"%s:%d" % (name, port) for name in ("127.0.0.1", "localhost", "[::1]")}
    return server
