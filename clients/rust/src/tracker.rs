//! Which controls the server will hold once it has read every command sent so far.

use crate::controls::Controls;
use crate::messages::Telemetry;

/// A reply carries at most this many commands; the rest wait for the next telemetry.
pub const MAX_COMMANDS_PER_REPLY: usize = 2;

// A reply to the telemetry of run time t has certainly been applied by t + 100 ms.
const SETTLE_MS: u64 = 150;

/// The server reads commands every 50 ms, so the telemetry right after a reply may not show it
/// yet; trusting that telemetry would send the same notch twice.
#[derive(Clone, Debug, Default)]
pub struct ControlTracker {
    expected: Controls,
    // Run time of the telemetry last answered with commands, plus SETTLE_MS.
    settled_at_ms: u64,
}

impl ControlTracker {
    /// A run starts rolling straight with nothing pending.
    pub fn start_run(&mut self) {
        *self = ControlTracker::default();
    }

    /// The commands to send in reply to this telemetry to move the controls toward `wanted`.
    pub fn steer(&mut self, telemetry: &Telemetry, wanted: Controls) -> Vec<&'static str> {
        if telemetry.time_ms >= self.settled_at_ms {
            self.expected = telemetry.controls;
        }
        let mut commands = self.expected.commands_toward(wanted);
        commands.truncate(MAX_COMMANDS_PER_REPLY);
        for command in &commands {
            self.expected = self.expected.after(command);
        }
        if !commands.is_empty() {
            self.settled_at_ms = telemetry.time_ms + SETTLE_MS;
        }
        commands
    }
}
