//! The Rust kit's tests: the shared message table read in every split, and the session's replies
//! against a model server.

use rover_kit::parser::parse;
use rover_kit::{Bot, Controls, End, Event, Init, Message, MessageReader, Session, Telemetry};
use std::path::PathBuf;

/// The table's path: $ROVER_MESSAGE_TABLE, else clients/testdata/messages.tsv beside this kit.
fn table_path() -> PathBuf {
    match std::env::var_os("ROVER_MESSAGE_TABLE") {
        Some(path) => PathBuf::from(path),
        None => PathBuf::from(env!("CARGO_MANIFEST_DIR")).join("../testdata/messages.tsv"),
    }
}

fn unescape(text: &str) -> Vec<u8> {
    let bytes = text.as_bytes();
    let mut out = Vec::new();
    let mut i = 0;
    while i < bytes.len() {
        if bytes[i] != b'\\' {
            out.push(bytes[i]);
            i += 1;
            continue;
        }
        match bytes[i + 1] {
            b't' => out.push(b'\t'),
            b'n' => out.push(b'\n'),
            b'r' => out.push(b'\r'),
            b'x' => {
                out.push(u8::from_str_radix(&text[i + 2..i + 4], 16).unwrap());
                i += 2;
            }
            other => out.push(other),
        }
        i += 2;
    }
    out
}

/// Each row: the message's bytes, then its fields as the wire writes them.
fn read_table() -> Vec<(Vec<u8>, Vec<String>)> {
    let text = std::fs::read_to_string(table_path()).expect("the message table");
    text.lines()
        .map(|line| {
            let mut cells = line.split('\t');
            let bytes = unescape(cells.next().unwrap());
            (bytes, cells.map(String::from).collect())
        })
        .collect()
}

fn real(got: f64, want: &str, what: &str) {
    let want: f64 = want.parse().unwrap();
    assert!(got.to_bits() == want.to_bits(), "{what}: {got} != {want}");
}

fn time(got: u64, want: &str, what: &str) {
    assert_eq!(got, want.parse::<u64>().unwrap(), "{what}");
}

/// Compares every typed field of a parsed message with its table row.
fn compare(message: &Message, f: &[String], what: &str) {
    match (f[0].as_str(), message) {
        ("I", Message::Init(i)) => {
            let reals = [i.dx, i.dy, i.rear_view, i.front_view, i.max_speed, i.turn, i.hard_turn];
            for (got, want) in reals.iter().zip(f[1..3].iter().chain(&f[4..9])) {
                real(*got, want, what);
            }
            time(i.time_limit_ms, &f[3], what);
        }
        ("T", Message::Telemetry(t)) => {
            time(t.time_ms, &f[1], what);
            assert_eq!(t.control, f[2], "{what}: control");
            let c = f[2].as_bytes();
            let accel = b"b-a".iter().position(|&b| b == c[0]).unwrap() as i32 - 1;
            let turn = b"Rr-lL".iter().position(|&b| b == c[1]).unwrap() as i32 - 2;
            assert_eq!(t.controls, Controls::new(accel, turn), "{what}: controls");
            for (got, want) in [t.x, t.y, t.heading, t.speed].iter().zip(&f[3..7]) {
                real(*got, want, what);
            }
            assert_eq!(t.objects.len().to_string(), f[7], "{what}: object count");
            let mut k = 8;
            for o in &t.objects {
                assert_eq!(o.kind.to_string(), f[k], "{what}: object kind");
                let fields =
                    if o.kind == 'm' { vec![o.x, o.y, o.heading, o.speed] } else { vec![o.x, o.y, o.radius] };
                for (got, want) in fields.iter().zip(&f[k + 1..]) {
                    real(*got, want, what);
                }
                k += 1 + fields.len();
            }
            assert_eq!(k, f.len(), "{what}: table row has fields left over");
        }
        ("E", Message::End(e)) => {
            time(e.time_ms, &f[1], what);
            time(e.score_ms, &f[2], what);
        }
        (letter, Message::Event(e)) => {
            assert_eq!(e.kind.to_string(), letter, "{what}: event letter");
            time(e.time_ms, &f[1], what);
        }
        (letter, other) => panic!("{what}: table says {letter}, read {other:?}"),
    }
}

/// A small seeded generator (the standard library has none).
struct Random(u64);

impl Random {
    fn below(&mut self, n: u64) -> u64 {
        self.0 ^= self.0 << 13;
        self.0 ^= self.0 >> 7;
        self.0 ^= self.0 << 17;
        self.0 % n
    }
}

#[test]
fn reads_the_table_in_any_split() {
    let rows = read_table();
    let stream: Vec<u8> = rows.iter().flat_map(|(bytes, _)| bytes.clone()).collect();
    let long_t = rows.iter().any(|(bytes, f)| f[0] == "T" && bytes.len() > 1200);
    let bounce_then_t = rows.windows(2).any(|w| w[0].1[0] == "B" && w[1].1[0] == "T");
    assert!(long_t && bounce_then_t, "the table needs a T over 1200 bytes and a B followed by its T");

    let mut splits: Vec<(String, Box<dyn FnMut() -> usize>)> =
        vec![("one byte at a time".into(), Box::new(|| 1))];
    for seed in 1..=5u64 {
        let mut random = Random(seed.wrapping_mul(0x9e37_79b9_7f4a_7c15));
        splits
            .push((format!("random pieces, seed {seed}"), Box::new(move || 1 + random.below(3000) as usize)));
    }
    for (how, mut piece) in splits {
        let mut reader = MessageReader::new();
        let mut got = Vec::new();
        let mut at = 0;
        while at < stream.len() {
            let end = (at + piece()).min(stream.len());
            reader.feed(&stream[at..end]).unwrap();
            at = end;
            while let Some(message) = reader.next_message().unwrap() {
                got.push(message);
            }
        }
        assert!(!reader.mid_message(), "{how}: bytes left over");
        assert_eq!(got.len(), rows.len(), "{how}: message count");
        for (i, (message, (_, fields))) in got.iter().zip(&rows).enumerate() {
            compare(message, fields, &format!("{how}, message {}", i + 1));
        }
    }
}

const COMMANDS: [&str; 8] = ["a", "b", "l", "r", "al", "ar", "bl", "br"];

/// What the server does with one command: each letter moves its state one notch, stopping at the end.
fn apply(c: Controls, command: &str) -> Controls {
    let has = |letter| command.contains(letter) as i32;
    Controls::new((c.accel + has('a') - has('b')).clamp(-1, 1), (c.turn + has('l') - has('r')).clamp(-2, 2))
}

fn apply_reply(mut c: Controls, reply: &str, what: &str) -> Controls {
    assert!(reply == ";" || reply.ends_with(";;"), "{what}: reply {reply:?} has no bare ';'");
    for command in reply[..reply.len() - 1].split(';').filter(|c| !c.is_empty()) {
        assert!(COMMANDS.contains(&command), "{what}: illegal command {command:?}");
        c = apply(c, command);
    }
    c
}

struct Wanting(Controls);

impl Bot for Wanting {
    fn on_telemetry(&mut self, _: &Telemetry) -> Controls {
        self.0
    }
}

/// A session against a model server with random wanted controls. In lockstep a reply is applied
/// before the next telemetry, so the controls must equal what the bot wanted at once; in real time
/// the reply may land a telemetry late, and the controls must still settle on what the bot wants.
#[test]
fn replies_once_per_telemetry_and_reaches_the_wanted_controls() {
    for late_by_one in [false, true] {
        for seed in 1..=3u64 {
            let mut random = Random(seed.wrapping_mul(0x2545_f491_4f6c_dd1d));
            let mut session = Session::new(Wanting(Controls::NEUTRAL));
            let early = Telemetry {
                time_ms: 0,
                control: "--".into(),
                controls: Controls::NEUTRAL,
                x: 0.0,
                y: 0.0,
                heading: 0.0,
                speed: 0.0,
                objects: vec![],
            };
            assert!(session.handle(&Message::Telemetry(early)).is_err(), "T before I accepted");
            let init = Init {
                dx: 100.0,
                dy: 100.0,
                time_limit_ms: 30000,
                rear_view: 5.0,
                front_view: 30.0,
                max_speed: 10.0,
                turn: 20.0,
                hard_turn: 60.0,
            };
            assert_eq!(session.handle(&Message::Init(init)), Ok((None, None)));
            let end = Message::End(End { time_ms: 0, score_ms: 0 });
            assert!(session.handle(&end).is_err(), "E outside a run accepted");
            let mut lines = Vec::new();
            for _run in 1..=3 {
                let mut server = Controls::NEUTRAL;
                let mut unapplied: Option<String> = None;
                for k in 0..200u64 {
                    if k % 4 == 0 {
                        session.bot.0 = Controls::new(random.below(3) as i32 - 1, random.below(5) as i32 - 2);
                    }
                    let wanted = session.bot.0;
                    let t = Telemetry {
                        time_ms: 100 * k,
                        control: server.text(),
                        controls: server,
                        x: 0.0,
                        y: 0.0,
                        heading: 0.0,
                        speed: 0.0,
                        objects: vec![],
                    };
                    let what = format!("late {late_by_one}, seed {seed}, at {}", t.time_ms);
                    let (reply, line) = session.handle(&Message::Telemetry(t)).unwrap();
                    assert!(line.is_none());
                    if let Some(previous) = unapplied.take() {
                        server = apply_reply(server, &previous, &what);
                    }
                    unapplied = reply;
                    if !late_by_one {
                        let before = server;
                        server = apply_reply(server, &unapplied.take().unwrap(), &what);
                        // At most two notches per reply, each straight toward what the bot wants.
                        let closer = |now: i32, was: i32, want: i32| {
                            (now - want).abs() == ((was - want).abs() - 2).max(0)
                        };
                        assert!(
                            closer(server.accel, before.accel, wanted.accel)
                                && closer(server.turn, before.turn, wanted.turn),
                            "{what}: {before:?} -> {server:?} toward {wanted:?}"
                        );
                    } else if k % 4 == 3 {
                        assert_eq!(server, wanted, "{what}");
                    }
                    if k == 57 {
                        assert_eq!(
                            session.handle(&Message::Event(Event { kind: 'B', time_ms: 100 * k })),
                            Ok((None, None))
                        );
                    }
                }
                let (reply, line) =
                    session.handle(&Message::End(End { time_ms: 20000, score_ms: 20100 })).unwrap();
                assert!(reply.is_none());
                lines.extend(line);
            }
            let want: Vec<String> = (1..=3)
                .map(|r| format!("run {r}: time limit exceeded; time = 20000 ms; score = 20100"))
                .collect();
            assert_eq!(lines, want);
        }
    }
}

#[test]
fn rejects_what_the_server_never_sends() {
    let bad = [
        "",
        "Q 1 ",
        "E 1 ",
        "B 1 2 ",
        "T 0 xa 1.000 2.000 3.0 4.000 ",
        "T 0 -- 1.000 2.000 3.0 ",
        "T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 ",
        "T 0 -- 1.000 2.000 3.0 4.000 z 1.000 2.000 3.000 ",
        "T 0 -- NaN 2.000 3.0 4.000 ",
        "T 0 -- 1e3 2.000 3.0 4.000 ",
        "S -5 ",
        "S +5 ",
        "I 1 2 3 4 5 6 7 ",
    ];
    for text in bad {
        assert!(parse(text).is_err(), "accepted {text:?}");
    }
}
