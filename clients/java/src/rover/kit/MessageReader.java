package rover.kit;

import java.nio.charset.StandardCharsets;
import java.util.Optional;

/**
 * Splits the server's byte stream into messages. TCP delivers bytes in any pieces: a telemetry message
 * of a crowded map can arrive in several reads, and one read can hold several messages, so bytes wait
 * here until their ';' has arrived.
 */
public final class MessageReader {
  /** An unfinished message longer than this is garbage, not something to buffer for ever. */
  public static final int MAX_MESSAGE_BYTES = 1 << 20;

  private final StringBuilder pending = new StringBuilder();
  private int start = 0;

  /** Appends received bytes. */
  public void feed(byte[] bytes, int offset, int length) {
    if (start > 0) {
      pending.delete(0, start);
      start = 0;
    }
    // Latin-1 keeps one char per byte, so a stray byte shows up in the error rather than vanishing.
    pending.append(new String(bytes, offset, length, StandardCharsets.ISO_8859_1));
    if (pending.length() - (pending.lastIndexOf(";") + 1) > MAX_MESSAGE_BYTES) {
      throw new ProtocolException("message longer than " + MAX_MESSAGE_BYTES + " bytes");
    }
  }

  /** The next complete message, or empty until more bytes arrive. */
  public Optional<Message> next() {
    int end = pending.indexOf(";", start);
    if (end < 0) return Optional.empty();
    String text = pending.substring(start, end);
    start = end + 1;
    return Optional.of(MessageParser.parse(text));
  }

  /** True when bytes of an unfinished message are waiting (the stream should not end here). */
  public boolean midMessage() {
    for (int i = start; i < pending.length(); i++) {
      if (pending.charAt(i) != ' ') return true;
    }
    return false;
  }
}
