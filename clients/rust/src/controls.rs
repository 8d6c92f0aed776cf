//! The rover's control states and the commands that move them.

use crate::messages::ProtocolError;

/// accel: -1 brake, 0 roll, 1 accelerate; turn: -2 hard right .. 2 hard left.
#[derive(Clone, Copy, Debug, Default, PartialEq, Eq)]
pub struct Controls {
    pub accel: i32,
    pub turn: i32,
}

const ACCEL: &[u8] = b"b-a";
const TURN: &[u8] = b"Rr-lL";

impl Controls {
    /// The controls every run starts with: rolling straight ("--").
    pub const NEUTRAL: Controls = Controls { accel: 0, turn: 0 };

    /// Panics when a state is out of range: that is a bug in the bot, not something to send.
    pub fn new(accel: i32, turn: i32) -> Controls {
        assert!(
            (-1..=1).contains(&accel) && (-2..=2).contains(&turn),
            "controls out of range: {accel}, {turn}"
        );
        Controls { accel, turn }
    }

    /// Reads the two characters telemetry shows ("a-", "bL", ...).
    pub fn from_text(text: &str) -> Result<Controls, ProtocolError> {
        let bytes = text.as_bytes();
        let find = |set: &[u8], c: u8| set.iter().position(|&s| s == c);
        match (bytes.len(), bytes.first(), bytes.get(1)) {
            (2, Some(&a), Some(&t)) => match (find(ACCEL, a), find(TURN, t)) {
                (Some(a), Some(t)) => Ok(Controls { accel: a as i32 - 1, turn: t as i32 - 2 }),
                _ => Err(ProtocolError(format!("bad control field \"{text}\""))),
            },
            _ => Err(ProtocolError(format!("bad control field \"{text}\""))),
        }
    }

    /// The two characters telemetry would show for these controls.
    pub fn text(self) -> String {
        let a = ACCEL[(self.accel + 1) as usize] as char;
        let t = TURN[(self.turn + 2) as usize] as char;
        format!("{a}{t}")
    }

    /// The controls after the server applied one command; a state already at its end stays there.
    pub fn after(self, command: &str) -> Controls {
        let has = |letter| command.contains(letter) as i32;
        Controls {
            accel: (self.accel + has('a') - has('b')).clamp(-1, 1),
            turn: (self.turn + has('l') - has('r')).clamp(-2, 2),
        }
    }

    /// The commands ("a", "br", "l", ...) that move these controls to `wanted`: each moves either
    /// state by one notch, so a hard turn from straight takes two. Empty when they are equal.
    pub fn commands_toward(self, wanted: Controls) -> Vec<&'static str> {
        let (mut a, mut t) = (self.accel, self.turn);
        let mut commands = Vec::new();
        while (a, t) != (wanted.accel, wanted.turn) {
            let (step_a, step_t) = ((wanted.accel - a).signum(), (wanted.turn - t).signum());
            commands.push(match (step_a, step_t) {
                (1, 1) => "al",
                (1, -1) => "ar",
                (1, _) => "a",
                (-1, 1) => "bl",
                (-1, -1) => "br",
                (-1, _) => "b",
                (_, 1) => "l",
                _ => "r",
            });
            a += step_a;
            t += step_t;
        }
        commands
    }
}
