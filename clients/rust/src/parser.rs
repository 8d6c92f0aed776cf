//! Turns one message's text (without its ';') into a typed message.

use crate::controls::Controls;
use crate::messages::{End, Event, Init, Message, ProtocolError, SeenObject, Telemetry};
// The message's words in order; the server separates them by single spaces.
struct Fields<'a> {
    text: &'a str,
    words: std::iter::Filter<std::str::Split<'a, char>, fn(&&str) -> bool>,
}

impl<'a> Fields<'a> {
    fn malformed(&self, why: &str) -> ProtocolError {
        let shown: String = self.text.chars().take(60).collect();
        let more = if self.text.len() > 60 { "..." } else { "" };
        ProtocolError(format!("malformed message \"{shown}{more}\": {why}"))
    }

    fn word(&mut self) -> Result<&'a str, ProtocolError> {
        self.words.next().ok_or_else(|| self.malformed("too few fields"))
    }

    fn real(&mut self) -> Result<f64, ProtocolError> {
        let field = self.word()?;
        // The server writes plain decimals; parse() alone would also take "NaN", "inf" or "1e3".
        let digits = field.strip_prefix('-').unwrap_or(field);
        let (whole, fraction) = digits.split_once('.').unwrap_or((digits, "0"));
        let plain = |s: &str| !s.is_empty() && s.bytes().all(|b| b.is_ascii_digit());
        match field.parse::<f64>() {
            Ok(value) if plain(whole) && plain(fraction) => Ok(value),
            _ => Err(self.malformed(&format!("bad number \"{field}\""))),
        }
    }

    fn time(&mut self) -> Result<u64, ProtocolError> {
        let field = self.word()?;
        match field.parse::<u64>() {
            Ok(value) if field.bytes().all(|b| b.is_ascii_digit()) => Ok(value),
            _ => Err(self.malformed(&format!("bad time \"{field}\""))),
        }
    }

    fn finish(&mut self, message: Message) -> Result<Message, ProtocolError> {
        match self.words.next() {
            None => Ok(message),
            Some(_) => Err(self.malformed("too many fields")),
        }
    }

    fn telemetry(&mut self) -> Result<Message, ProtocolError> {
        let time_ms = self.time()?;
        let control = self.word()?;
        let controls = Controls::from_text(control).map_err(|e| self.malformed(&e.0))?;
        let (x, y, heading, speed) = (self.real()?, self.real()?, self.real()?, self.real()?);
        let mut objects = Vec::new();
        while let Some(kind) = self.words.next() {
            let object = match kind {
                "b" | "c" | "h" => {
                    let (x, y, radius) = (self.real()?, self.real()?, self.real()?);
                    SeenObject { kind: kind.as_bytes()[0] as char, x, y, radius, heading: 0.0, speed: 0.0 }
                }
                "m" => {
                    let (x, y, heading, speed) = (self.real()?, self.real()?, self.real()?, self.real()?);
                    SeenObject { kind: 'm', x, y, radius: 0.0, heading, speed }
                }
                _ => return Err(self.malformed(&format!("unknown object kind \"{kind}\""))),
            };
            objects.push(object);
        }
        let control = control.to_string();
        Ok(Message::Telemetry(Telemetry { time_ms, control, controls, x, y, heading, speed, objects }))
    }
}

/// Parses one complete message; fails on anything the server never sends.
pub fn parse(text: &str) -> Result<Message, ProtocolError> {
    let not_empty: fn(&&str) -> bool = |w| !w.is_empty();
    let mut f = Fields { text, words: text.split(' ').filter(not_empty) };
    match f.word()? {
        "I" => {
            let init = Init {
                dx: f.real()?,
                dy: f.real()?,
                time_limit_ms: f.time()?,
                rear_view: f.real()?,
                front_view: f.real()?,
                max_speed: f.real()?,
                turn: f.real()?,
                hard_turn: f.real()?,
            };
            f.finish(Message::Init(init))
        }
        "T" => f.telemetry(),
        letter @ ("B" | "C" | "K" | "S") => {
            let event = Event { kind: letter.as_bytes()[0] as char, time_ms: f.time()? };
            f.finish(Message::Event(event))
        }
        "E" => {
            let end = End { time_ms: f.time()?, score_ms: f.time()? };
            f.finish(Message::End(end))
        }
        letter => Err(f.malformed(&format!("unknown message letter \"{letter}\""))),
    }
}
