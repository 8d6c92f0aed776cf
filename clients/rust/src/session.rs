//! The controller's side of a game without any I/O: messages go in, replies come out.

use crate::controls::Controls;
use crate::messages::{End, Event, Init, Message, ProtocolError, Telemetry};
use crate::tracker::ControlTracker;

/// A controller's decisions. [`Session`] calls these in the order the messages arrive and turns the
/// controls wanted after each telemetry message into the commands of its one reply.
pub trait Bot {
    /// The map's size, time limit and the rover's abilities, once before the first run.
    fn on_init(&mut self, _init: &Init) {}
    /// A run begins (1, 2, ...); its first telemetry message follows.
    fn on_run_start(&mut self, _run: u32) {}
    /// The controls wanted from now on; return `telemetry.controls` to keep them.
    fn on_telemetry(&mut self, telemetry: &Telemetry) -> Controls;
    /// A bounce ('B'), or how the run ended ('C', 'K', 'S').
    fn on_event(&mut self, _event: &Event) {}
    /// The run is over, with its score.
    fn on_end(&mut self, _end: &End) {}
}

/// Every telemetry message gets exactly one reply (the commands, then a bare ';'), as lockstep
/// requires and real time accepts; the extra telemetry after a bounce is no exception.
pub struct Session<B: Bot> {
    pub bot: B,
    tracker: ControlTracker,
    initialized: bool,
    in_run: bool,
    run: u32,
    outcome: &'static str,
}

impl<B: Bot> Session<B> {
    pub fn new(bot: B) -> Session<B> {
        Session {
            bot,
            tracker: ControlTracker::default(),
            initialized: false,
            in_run: false,
            run: 0,
            outcome: "",
        }
    }

    /// Hands one message to the bot. Returns the reply owed (for a telemetry message) and, when a
    /// run ended, its line ("run 1: reached home; time = 5940 ms; score = 5940"). Fails on a message
    /// before the `I` message, or an event or end outside a run.
    pub fn handle(&mut self, message: &Message) -> Result<(Option<String>, Option<String>), ProtocolError> {
        let out_of_order = |what: &str| Err(ProtocolError(format!("{what}: {message:?}")));
        match message {
            Message::Init(init) => {
                self.initialized = true;
                self.bot.on_init(init);
            }
            _ if !self.initialized => return out_of_order("a message before the I message"),
            Message::Telemetry(telemetry) => {
                if !self.in_run {
                    self.in_run = true;
                    self.run += 1;
                    self.outcome = "time limit exceeded";
                    self.tracker.start_run();
                    self.bot.on_run_start(self.run);
                }
                let wanted = self.bot.on_telemetry(telemetry);
                let mut reply = String::new();
                for command in self.tracker.steer(telemetry, wanted) {
                    reply.push_str(command);
                    reply.push(';');
                }
                reply.push(';');
                return Ok((Some(reply), None));
            }
            _ if !self.in_run => return out_of_order("a message outside a run"),
            Message::Event(event) => {
                match event.kind {
                    'C' => self.outcome = "crashed into crater",
                    'K' => self.outcome = "killed by Martian",
                    'S' => self.outcome = "reached home",
                    _ => {}
                }
                self.bot.on_event(event);
            }
            Message::End(end) => {
                self.in_run = false;
                self.bot.on_end(end);
                let line = format!(
                    "run {}: {}; time = {} ms; score = {}",
                    self.run, self.outcome, end.time_ms, end.score_ms
                );
                return Ok((None, Some(line)));
            }
        }
        Ok((None, None))
    }

    /// True between a run's first telemetry message and its end.
    pub fn in_run(&self) -> bool {
        self.in_run
    }
}
