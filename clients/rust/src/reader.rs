//! Splits the server's byte stream into messages.

use crate::messages::{Message, ProtocolError};
use crate::parser::parse;

/// An unfinished message longer than this is garbage, not something to buffer for ever.
pub const MAX_MESSAGE_BYTES: usize = 1 << 20;

/// TCP delivers bytes in any pieces: a telemetry message of a crowded map can arrive in several
/// reads, and one read can hold several messages, so bytes wait here until their ';' has arrived.
#[derive(Debug, Default)]
pub struct MessageReader {
    pending: Vec<u8>,
    start: usize,
}

impl MessageReader {
    pub fn new() -> MessageReader {
        MessageReader::default()
    }

    /// Appends received bytes.
    pub fn feed(&mut self, bytes: &[u8]) -> Result<(), ProtocolError> {
        self.pending.drain(..self.start);
        self.start = 0;
        self.pending.extend_from_slice(bytes);
        let unfinished = match self.pending.iter().rposition(|&b| b == b';') {
            Some(end) => self.pending.len() - end - 1,
            None => self.pending.len(),
        };
        if unfinished > MAX_MESSAGE_BYTES {
            return Err(ProtocolError(format!("message longer than {MAX_MESSAGE_BYTES} bytes")));
        }
        Ok(())
    }

    /// The next complete message, or None until more bytes arrive.
    pub fn next_message(&mut self) -> Result<Option<Message>, ProtocolError> {
        let length = match self.pending[self.start..].iter().position(|&b| b == b';') {
            Some(length) => length,
            None => return Ok(None),
        };
        let bytes = &self.pending[self.start..self.start + length];
        self.start += length + 1;
        match std::str::from_utf8(bytes) {
            Ok(text) if text.is_ascii() => parse(text).map(Some),
            _ => Err(ProtocolError(format!(
                "message with bytes outside ASCII: {:?}",
                String::from_utf8_lossy(bytes)
            ))),
        }
    }

    /// True when bytes of an unfinished message are waiting (the stream should not end here).
    pub fn mid_message(&self) -> bool {
        self.pending[self.start..].iter().any(|&b| b != b' ')
    }
}
