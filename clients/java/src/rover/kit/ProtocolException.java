package rover.kit;

/** The server's bytes broke the message grammar, or the connection ended in the middle of a run. */
public class ProtocolException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  public ProtocolException(String message) {
    super(message);
  }
}
