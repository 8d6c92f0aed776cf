package rover.kit;

import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;

/** Turns one message's text (without its ';') into a typed message. */
public final class MessageParser {
  // The server writes plain decimals; parseDouble alone would also take "NaN" or "1e3".
  private static final Pattern REAL = Pattern.compile("-?[0-9]+(\\.[0-9]+)?");
  private static final Pattern TIME = Pattern.compile("[0-9]{1,18}");
  private static final Pattern SPACES = Pattern.compile(" +");
  private final String text;
  private final String[] fields;
  private int next = 0;

  private MessageParser(String text) {
    this.text = text;
    this.fields = SPACES.split(text.strip());
  }

  /** Parses one complete message; throws ProtocolException on anything the server never sends. */
  public static Message parse(String text) {
    return new MessageParser(text).message();
  }

  private Message message() {
    String letter = word();
    Message message =
        switch (letter) {
          case "I" -> new Init(real(), real(), time(), real(), real(), real(), real(), real());
          case "T" -> telemetry();
          case "B", "C", "K", "S" -> new Event(letter.charAt(0), time());
          case "E" -> new End(time(), time());
          default -> throw malformed("unknown message letter \"" + letter + "\"");
        };
    if (next != fields.length) throw malformed("too many fields");
    return message;
  }

  private Telemetry telemetry() {
    long timeMs = time();
    String control = word();
    Controls controls;
    try {
      controls = Controls.fromText(control);
    } catch (ProtocolException e) {
      throw malformed(e.getMessage());
    }
    double x = real(), y = real(), heading = real(), speed = real();
    List<SeenObject> objects = new ArrayList<>();
    while (next < fields.length) {
      String kind = word();
      switch (kind) {
        case "b", "c", "h" -> objects.add(new SeenObject(kind.charAt(0), real(), real(), real(), 0, 0));
        case "m" -> objects.add(new SeenObject('m', real(), real(), 0, real(), real()));
        default -> throw malformed("unknown object kind \"" + kind + "\"");
      }
    }
    return new Telemetry(timeMs, control, controls, x, y, heading, speed, List.copyOf(objects));
  }

  private String word() {
    if (next >= fields.length || fields[next].isEmpty()) throw malformed("too few fields");
    return fields[next++];
  }

  private double real() {
    String field = word();
    if (!REAL.matcher(field).matches()) throw malformed("bad number \"" + field + "\"");
    return Double.parseDouble(field);
  }

  private long time() {
    String field = word();
    if (!TIME.matcher(field).matches()) throw malformed("bad time \"" + field + "\"");
    return Long.parseLong(field);
  }

  private ProtocolException malformed(String why) {
    String shown = text.length() > 60 ? text.substring(0, 60) + "..." : text;
    return new ProtocolException("malformed message \"" + shown + "\": " + why);
  }
}
