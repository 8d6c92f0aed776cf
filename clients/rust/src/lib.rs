//! Starter kit for rover controllers: a reader that splits the server's byte stream into typed
//! messages, the control states and the commands that move them, and a loop that answers every
//! telemetry message with exactly one reply, in lockstep and in real time alike.
//!
//! A bot implements [`Bot`] and hands itself to [`client::main`]; see `src/bin/example_bot.rs`.

pub mod client;
pub mod controls;
pub mod messages;
pub mod parser;
pub mod reader;
pub mod session;
pub mod tracker;

pub use controls::Controls;
pub use messages::{End, Event, Init, Message, ProtocolError, SeenObject, Telemetry};
pub use reader::MessageReader;
pub use session::{Bot, Session};
pub use tracker::ControlTracker;
