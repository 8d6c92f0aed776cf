//! The server's messages, typed.

use crate::controls::Controls;
use std::fmt;

/// "I": sent once, before the first run. The map spans -dx/2 .. dx/2; the home base is the circle
/// of radius 5 at the origin.
#[derive(Clone, Debug, PartialEq)]
pub struct Init {
    pub dx: f64,
    pub dy: f64,
    pub time_limit_ms: u64,
    pub rear_view: f64,
    pub front_view: f64,
    pub max_speed: f64,
    pub turn: f64,
    pub hard_turn: f64,
}

/// One object of a telemetry message: `kind` is 'b' boulder, 'c' crater, 'h' home (these fill
/// `radius`) or 'm' Martian (fills `heading` and `speed`).
#[derive(Clone, Debug, PartialEq)]
pub struct SeenObject {
    pub kind: char,
    pub x: f64,
    pub y: f64,
    pub radius: f64,
    pub heading: f64,
    pub speed: f64,
}

/// "T": what the rover senses, every 100 ms of a run and right after a bounce. `control` is the two
/// characters as the server writes them ("a-", "bL", ...), `controls` the same as states.
#[derive(Clone, Debug, PartialEq)]
pub struct Telemetry {
    pub time_ms: u64,
    pub control: String,
    pub controls: Controls,
    pub x: f64,
    pub y: f64,
    pub heading: f64,
    pub speed: f64,
    pub objects: Vec<SeenObject>,
}

/// "B" bounce (a telemetry message follows at once), "C" crater, "K" caught by a Martian or "S"
/// home; the last three end the run.
#[derive(Clone, Debug, PartialEq)]
pub struct Event {
    pub kind: char,
    pub time_ms: u64,
}

/// "E": the run is over; lower scores are better.
#[derive(Clone, Debug, PartialEq)]
pub struct End {
    pub time_ms: u64,
    pub score_ms: u64,
}

#[derive(Clone, Debug, PartialEq)]
pub enum Message {
    Init(Init),
    Telemetry(Telemetry),
    Event(Event),
    End(End),
}

/// The server's bytes broke the message grammar, or the connection ended in the middle of a run.
#[derive(Clone, Debug, PartialEq, Eq)]
pub struct ProtocolError(pub String);

impl fmt::Display for ProtocolError {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(&self.0)
    }
}

impl std::error::Error for ProtocolError {}
