//! Connects a bot to the server and plays until the server closes the connection.

use crate::messages::ProtocolError;
use crate::reader::MessageReader;
use crate::session::{Bot, Session};
use std::error::Error;
use std::io::{ErrorKind, Read, Write};
use std::net::TcpStream;
use std::time::{Duration, Instant};

/// Plays a whole game against host:port. Returns normally when the server closed the connection
/// between runs; fails when it ended in the middle of one.
pub fn play<B: Bot>(host: &str, port: u16, bot: B) -> Result<B, Box<dyn Error>> {
    let mut stream = connect(host, port)?;
    stream.set_nodelay(true)?;
    let mut reader = MessageReader::new();
    let mut session = Session::new(bot);
    let mut buffer = vec![0u8; 65536];
    loop {
        let count = match stream.read(&mut buffer) {
            Ok(count) => count,
            Err(e) if e.kind() == ErrorKind::Interrupted => continue,
            // A reset after the last run: the server closed with our last reply unread.
            Err(e) if e.kind() == ErrorKind::ConnectionReset => 0,
            Err(e) => return Err(e.into()),
        };
        if count == 0 {
            break;
        }
        reader.feed(&buffer[..count])?;
        // One write for all the replies this read owes: fewer packets, same bytes.
        let mut replies = String::new();
        while let Some(message) = reader.next_message()? {
            let (reply, line) = session.handle(&message)?;
            replies.push_str(reply.as_deref().unwrap_or(""));
            if let Some(line) = line {
                println!("{line}");
            }
        }
        // The server may close right after the last run's end, before it reads the reply to that
        // run's last telemetry; the next read tells whether the game was over.
        let _ = stream.write_all(replies.as_bytes());
    }
    if session.in_run() || reader.mid_message() {
        return Err(ProtocolError("the server closed the connection during a run".into()).into());
    }
    Ok(session.bot)
}

/// A connection to host:port, retried for up to 10 s while nothing listens there yet.
fn connect(host: &str, port: u16) -> std::io::Result<TcpStream> {
    let deadline = Instant::now() + Duration::from_secs(10);
    loop {
        match TcpStream::connect((host, port)) {
            Err(e) if e.kind() == ErrorKind::ConnectionRefused && Instant::now() < deadline => {
                std::thread::sleep(Duration::from_millis(100))
            }
            result => return result,
        }
    }
}

/// The usual main: host and port from the command line (default localhost 17676); a failure is one
/// line on standard error and exit status 1, a bad command line exit status 2.
pub fn main<B: Bot>(bot: B) {
    let args: Vec<String> = std::env::args().collect();
    let port = match args.get(2).map(|p| p.parse::<u16>()) {
        _ if args.len() > 3 => None,
        None => Some(17676),
        Some(port) => port.ok(),
    };
    let port = port.unwrap_or_else(|| {
        eprintln!("usage: {} [host] [port]", args[0]);
        std::process::exit(2);
    });
    let host = args.get(1).map(String::as_str).unwrap_or("localhost");
    if let Err(e) = play(host, port, bot) {
        eprintln!("bot: {e}");
        std::process::exit(1);
    }
}
