package rover.kit;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.ConnectException;
import java.net.Socket;
import java.net.SocketException;
import java.nio.charset.StandardCharsets;
import java.util.Optional;

/** Connects a bot to the server and plays until the server closes the connection. */
public final class Client {
  private Client() {}

  /**
   * Plays a whole game against host:port. Returns normally when the server closed the connection
   * between runs; throws ProtocolException when it ended in the middle of one.
   */
  public static void play(String host, int port, Bot bot) throws IOException {
    try (Socket socket = connect(host, port)) {
      socket.setTcpNoDelay(true);
      InputStream in = socket.getInputStream();
      OutputStream out = socket.getOutputStream();
      MessageReader reader = new MessageReader();
      Session session = new Session(bot, System.out::println);
      byte[] buffer = new byte[65536];
      while (true) {
        int count;
        try {
          count = in.read(buffer);
        } catch (SocketException e) {
          count = -1; // a reset after the last run: the server closed with our last reply unread
        }
        if (count < 0) break;
        reader.feed(buffer, 0, count);
        // One write for all the replies this read owes: fewer packets, same bytes.
        StringBuilder replies = new StringBuilder();
        for (Optional<Message> m = reader.next(); m.isPresent(); m = reader.next()) {
          String reply = session.handle(m.get());
          if (reply != null) replies.append(reply);
        }
        if (!replies.isEmpty()) {
          try {
            out.write(replies.toString().getBytes(StandardCharsets.US_ASCII));
            out.flush();
          } catch (IOException e) {
            // The server may close right after the last run's end, before it reads the reply to
            // that run's last telemetry; the next read tells whether the game was over.
          }
        }
      }
      if (session.inRun() || reader.midMessage()) {
        throw new ProtocolException("the server closed the connection during a run");
      }
    }
  }

  /** A connection to host:port, retried for up to 10 s while nothing listens there yet. */
  private static Socket connect(String host, int port) throws IOException {
    long deadline = System.nanoTime() + 10_000_000_000L;
    while (true) {
      try {
        return new Socket(host, port);
      } catch (ConnectException e) {
        if (System.nanoTime() > deadline) throw e;
        try {
          Thread.sleep(100);
        } catch (InterruptedException stop) {
          throw e;
        }
      }
    }
  }

  /**
   * The usual main: host and port from the command line (default localhost 17676); a failure is one
   * line on standard error and exit status 1, a bad command line exit status 2.
   */
  public static void main(String[] args, Bot bot) {
    if (args.length > 2 || (args.length == 2 && !args[1].matches("[0-9]{1,5}"))) {
      System.err.println("usage: java ... " + bot.getClass().getSimpleName() + " [host] [port]");
      System.exit(2);
    }
    String host = args.length > 0 ? args[0] : "localhost";
    try {
      int port = args.length > 1 ? Integer.parseInt(args[1]) : 17676;
      play(host, port, bot);
    } catch (IOException | RuntimeException e) {
      System.err.println("bot: " + e.getMessage());
      System.exit(1);
    }
  }
}
