import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Optional;
import java.util.Random;
import rover.kit.Bot;
import rover.kit.Controls;
import rover.kit.End;
import rover.kit.Event;
import rover.kit.Init;
import rover.kit.Message;
import rover.kit.MessageParser;
import rover.kit.MessageReader;
import rover.kit.ProtocolException;
import rover.kit.SeenObject;
import rover.kit.Session;
import rover.kit.Telemetry;

/** The Java kit's tests: java -cp BUILD KitTest clients/testdata/messages.tsv; exit 1 on any failure. */
public final class KitTest {
  private static int failures = 0;

  private static void check(boolean ok, String what) {
    if (!ok && failures++ < 20) System.err.println("FAIL: " + what);
  }

  /** One line of the shared table: the message's bytes and its fields as the wire writes them. */
  private record Row(byte[] bytes, String[] fields) {}

  private static byte[] unescape(String text) {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c != '\\') {
        out.write(c);
        continue;
      }
      char e = text.charAt(++i);
      switch (e) {
        case 't' -> out.write('\t');
        case 'n' -> out.write('\n');
        case 'r' -> out.write('\r');
        case 'x' -> {
          out.write(Integer.parseInt(text.substring(i + 1, i + 3), 16));
          i += 2;
        }
        default -> out.write(e);
      }
    }
    return out.toByteArray();
  }

  private static List<Row> readTable(Path path) throws Exception {
    List<Row> rows = new ArrayList<>();
    for (String line : Files.readAllLines(path, StandardCharsets.US_ASCII)) {
      String[] cells = line.split("\t", -1);
      rows.add(new Row(unescape(cells[0]), java.util.Arrays.copyOfRange(cells, 1, cells.length)));
    }
    return rows;
  }

  private static void real(double got, String want, String where) {
    check(Double.compare(got, Double.parseDouble(want)) == 0, where + ": " + got + " != " + want);
  }

  private static void time(long got, String want, String where) {
    check(got == Long.parseLong(want), where + ": " + got + " != " + want);
  }

  /** Compares every typed field of a parsed message with its table row. */
  private static void compare(Message m, String[] f, String where) {
    check(f[0].length() == 1, where + ": letter");
    switch (f[0].charAt(0)) {
      case 'I' -> {
        if (!(m instanceof Init i)) {
          check(false, where + ": not an Init");
          return;
        }
        double[] got = {i.dx(), i.dy(), 0, i.rearView(), i.frontView(), i.maxSpeed(), i.turn(), i.hardTurn()};
        for (int k = 0; k < 8; k++) {
          if (k == 2) time(i.timeLimitMs(), f[3], where + " limit");
          else real(got[k], f[k + 1], where + " field " + k);
        }
      }
      case 'T' -> {
        if (!(m instanceof Telemetry t)) {
          check(false, where + ": not a Telemetry");
          return;
        }
        time(t.timeMs(), f[1], where + " time");
        check(t.control().equals(f[2]), where + " control");
        check(t.controls().accel() == "b-a".indexOf(f[2].charAt(0)) - 1, where + " accel");
        check(t.controls().turn() == "Rr-lL".indexOf(f[2].charAt(1)) - 2, where + " turn");
        real(t.x(), f[3], where + " x");
        real(t.y(), f[4], where + " y");
        real(t.heading(), f[5], where + " heading");
        real(t.speed(), f[6], where + " speed");
        check(t.objects().size() == Integer.parseInt(f[7]), where + " object count");
        int k = 8;
        for (SeenObject o : t.objects()) {
          String w = where + " object " + f[k];
          check(o.kind() == f[k].charAt(0), w + " kind");
          real(o.x(), f[k + 1], w + " x");
          real(o.y(), f[k + 2], w + " y");
          if (o.kind() == 'm') {
            real(o.heading(), f[k + 3], w + " heading");
            real(o.speed(), f[k + 4], w + " speed");
            k += 5;
          } else {
            real(o.radius(), f[k + 3], w + " r");
            k += 4;
          }
        }
        check(k == f.length, where + ": table row has fields left over");
      }
      case 'E' -> {
        check(m instanceof End e && e.timeMs() == Long.parseLong(f[1]) && e.scoreMs() == Long.parseLong(f[2]),
            where + ": end");
      }
      default -> {
        check(m instanceof Event e && e.kind() == f[0].charAt(0) && e.timeMs() == Long.parseLong(f[1]),
            where + ": event");
      }
    }
  }

  /** Feeds the whole table as one stream in pieces of the given sizes; every message must come out whole. */
  private static void readInPieces(List<Row> rows, byte[] stream, java.util.function.IntSupplier piece, String how) {
    MessageReader reader = new MessageReader();
    List<Message> got = new ArrayList<>();
    for (int at = 0; at < stream.length; ) {
      int n = Math.min(piece.getAsInt(), stream.length - at);
      reader.feed(stream, at, n);
      at += n;
      for (Optional<Message> m = reader.next(); m.isPresent(); m = reader.next()) got.add(m.get());
    }
    check(!reader.midMessage(), how + ": bytes left over");
    check(got.size() == rows.size(), how + ": " + got.size() + " messages, want " + rows.size());
    for (int i = 0; i < Math.min(got.size(), rows.size()); i++) {
      compare(got.get(i), rows.get(i).fields(), how + " message " + (i + 1));
    }
  }

  private static void tableTest(Path table) throws Exception {
    List<Row> rows = readTable(table);
    ByteArrayOutputStream all = new ByteArrayOutputStream();
    boolean longT = false, bounceThenT = false;
    for (int i = 0; i < rows.size(); i++) {
      all.write(rows.get(i).bytes());
      longT |= rows.get(i).fields()[0].equals("T") && rows.get(i).bytes().length > 1200;
      bounceThenT |= rows.get(i).fields()[0].equals("B") && i + 1 < rows.size()
          && rows.get(i + 1).fields()[0].equals("T");
    }
    check(longT && bounceThenT, "the table needs a T over 1200 bytes and a B followed by its T");
    byte[] stream = all.toByteArray();
    readInPieces(rows, stream, () -> 1, "one byte at a time");
    for (long seed = 1; seed <= 5; seed++) {
      Random random = new Random(seed);
      readInPieces(rows, stream, () -> 1 + random.nextInt(3000), "random pieces, seed " + seed);
    }
  }

  private static final List<String> COMMANDS = List.of("a", "b", "l", "r", "al", "ar", "bl", "br");

  /** What the server does with one command: each letter moves its state one notch, stopping at the end. */
  private static Controls apply(Controls c, String command) {
    int a = c.accel() + (command.contains("a") ? 1 : 0) - (command.contains("b") ? 1 : 0);
    int t = c.turn() + (command.contains("l") ? 1 : 0) - (command.contains("r") ? 1 : 0);
    return new Controls(Math.max(-1, Math.min(1, a)), Math.max(-2, Math.min(2, t)));
  }

  private static Controls applyReply(Controls c, String reply, String where) {
    check(reply.endsWith(";;") || reply.equals(";"), where + ": reply \"" + reply + "\" has no bare ';'");
    for (String command : reply.substring(0, reply.length() - 1).split(";")) {
      if (command.isEmpty()) continue;
      check(COMMANDS.contains(command), where + ": illegal command \"" + command + "\"");
      c = apply(c, command);
    }
    return c;
  }

  /**
   * A session against a model server with random wanted controls. In lockstep a reply is applied before
   * the next telemetry, so the controls must equal what the bot wanted at once; in real time the reply
   * may land a telemetry late, and the controls must still settle on what the bot wants.
   */
  private static void sessionTest(boolean lateByOne, long seed) {
    Random random = new Random(seed);
    Controls[] wanted = {Controls.NEUTRAL};
    Bot bot = t -> wanted[0];
    List<String> lines = new ArrayList<>();
    Session session = new Session(bot, lines::add);
    String where = (lateByOne ? "real time" : "lockstep") + " seed " + seed;
    Telemetry early = new Telemetry(0, "--", Controls.NEUTRAL, 0, 0, 0, 0, List.of());
    check(throwsProtocolError(() -> session.handle(early)), where + ": T before I accepted");
    session.handle(new Init(100, 100, 30000, 5, 30, 10, 20, 60));
    check(throwsProtocolError(() -> session.handle(new End(0, 0))), where + ": E outside a run accepted");
    for (int run = 1; run <= 3; run++) {
      Controls server = Controls.NEUTRAL;
      String unapplied = null;
      for (int k = 0; k < 200; k++) {
        if (k % 4 == 0) wanted[0] = new Controls(random.nextInt(3) - 1, random.nextInt(5) - 2);
        Telemetry t = new Telemetry(100L * k, server.text(), server, 0, 0, 0, 0, List.of());
        String reply = session.handle(t);
        if (unapplied != null) server = applyReply(server, unapplied, where);
        unapplied = reply;
        if (!lateByOne) {
          Controls before = server;
          server = applyReply(server, unapplied, where);
          unapplied = null;
          // At most two notches per reply, each straight toward what the bot wants.
          Controls w = wanted[0];
          check(Math.abs(server.accel() - w.accel()) == Math.max(0, Math.abs(before.accel() - w.accel()) - 2)
              && Math.abs(server.turn() - w.turn()) == Math.max(0, Math.abs(before.turn() - w.turn()) - 2),
              where + " at " + t.timeMs() + ": " + before + " -> " + server + " toward " + w);
        } else if (k % 4 == 3) {
          check(server.equals(wanted[0]), where + " at " + t.timeMs() + ": " + server + " != " + wanted[0]);
        }
        if (k == 57) check(session.handle(new Event('B', 100L * k)) == null, where + ": reply to B");
      }
      check(session.handle(new End(20000, 20100)) == null, where + ": reply to E");
    }
    check(lines.equals(List.of(
        "run 1: time limit exceeded; time = 20000 ms; score = 20100",
        "run 2: time limit exceeded; time = 20000 ms; score = 20100",
        "run 3: time limit exceeded; time = 20000 ms; score = 20100")), where + ": run lines " + lines);
  }

  private static boolean throwsProtocolError(Runnable action) {
    try {
      action.run();
      return false;
    } catch (ProtocolException expected) {
      return true;
    }
  }

  private static void malformedTest() {
    String[] bad = {"", "Q 1 ", "E 1 ", "B 1 2 ", "T 0 xa 1.000 2.000 3.0 4.000 ", "T 0 -- 1.000 2.000 3.0 ",
        "T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 ", "T 0 -- 1.000 2.000 3.0 4.000 z 1.000 2.000 3.000 ",
        "T 0 -- NaN 2.000 3.0 4.000 ", "S -5 ", "I 1 2 3 4 5 6 7 "};
    for (String text : bad) {
      check(throwsProtocolError(() -> MessageParser.parse(text)), "accepted \"" + text + "\"");
    }
  }

  public static void main(String[] args) throws Exception {
    tableTest(Path.of(args[0]));
    for (long seed = 1; seed <= 3; seed++) {
      sessionTest(false, seed);
      sessionTest(true, seed);
    }
    malformedTest();
    if (failures > 0) {
      System.err.println(failures + " checks failed");
      System.exit(1);
    }
    System.out.println("java kit: all checks passed");
  }
}
