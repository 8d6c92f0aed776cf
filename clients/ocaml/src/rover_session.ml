(* The controller's side of a game without any I/O: messages go in, replies come out. Every
   telemetry message gets exactly one reply (the commands, then a bare ';'), as lockstep requires
   and real time accepts; the extra telemetry after a bounce is no exception. *)

open Rover_messages

(** A controller's decisions, called in the order the messages arrive. Start from [default_bot]:
    [{ Rover_session.default_bot with on_telemetry = ... }]. *)
type bot = {
  on_init : init -> unit;  (** the map's size, time limit and the rover's abilities, once *)
  on_run_start : int -> unit;  (** a run begins (1, 2, ...); its first telemetry follows *)
  on_telemetry : telemetry -> Rover_controls.t;  (** the controls wanted from now on *)
  on_event : event -> unit;  (** a bounce ('B'), or how the run ended ('C', 'K', 'S') *)
  on_end : end_of_run -> unit;  (** the run is over, with its score *)
}

(** Does nothing and keeps the controls as they are. *)
let default_bot =
  {
    on_init = ignore;
    on_run_start = ignore;
    on_telemetry = (fun t -> t.controls);
    on_event = ignore;
    on_end = ignore;
  }

type t = {
  bot : bot;
  tracker : Rover_tracker.t;
  mutable initialized : bool;
  mutable in_run : bool;
  mutable run : int;
  mutable outcome : string;
}

let create bot =
  { bot; tracker = Rover_tracker.create (); initialized = false; in_run = false; run = 0; outcome = "" }

(** Hands one message to the bot. Returns the reply owed (for a telemetry message) and, when a run
    ended, its line ("run 1: reached home; time = 5940 ms; score = 5940"). Raises Protocol_error on a
    message before the I message, or an event or end outside a run. *)
let handle s message =
  let out_of_order what = raise (Protocol_error what) in
  match message with
  | Init init ->
      s.initialized <- true;
      s.bot.on_init init;
      (None, None)
  | _ when not s.initialized -> out_of_order "a message before the I message"
  | Telemetry t ->
      if not s.in_run then begin
        s.in_run <- true;
        s.run <- s.run + 1;
        s.outcome <- "time limit exceeded";
        Rover_tracker.start_run s.tracker;
        s.bot.on_run_start s.run
      end;
      let commands = Rover_tracker.steer s.tracker t (s.bot.on_telemetry t) in
      (Some (String.concat "" (List.map (fun c -> c ^ ";") commands) ^ ";"), None)
  | _ when not s.in_run -> out_of_order "an event or end outside a run"
  | Event e ->
      (match e.kind with
      | 'C' -> s.outcome <- "crashed into crater"
      | 'K' -> s.outcome <- "killed by Martian"
      | 'S' -> s.outcome <- "reached home"
      | _ -> ());
      s.bot.on_event e;
      (None, None)
  | End e ->
      s.in_run <- false;
      s.bot.on_end e;
      let line = Printf.sprintf "run %d: %s; time = %d ms; score = %d" s.run s.outcome e.time_ms e.score_ms in
      (None, Some line)

(** True between a run's first telemetry message and its end. *)
let in_run s = s.in_run
