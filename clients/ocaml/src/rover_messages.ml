(* The server's messages, typed. *)

(** The server's bytes broke the message grammar, or the connection ended in the middle of a run. *)
exception Protocol_error of string

(** "I": sent once, before the first run. The map spans -dx/2 .. dx/2; the home base is the circle
    of radius 5 at the origin. *)
type init = {
  dx : float;
  dy : float;
  time_limit_ms : int;
  rear_view : float;
  front_view : float;
  max_speed : float;
  turn : float;
  hard_turn : float;
}

(** One object of a telemetry message: [kind] is 'b' boulder, 'c' crater, 'h' home (these fill
    [radius]) or 'm' Martian (fills [heading] and [speed]). *)
type seen_object = { kind : char; x : float; y : float; radius : float; heading : float; speed : float }

(** "B" bounce (a telemetry message follows at once), "C" crater, "K" caught by a Martian or "S"
    home; the last three end the run. *)
type event = { kind : char; time_ms : int }

(** "E": the run is over; lower scores are better. *)
type end_of_run = { time_ms : int; score_ms : int }

(** "T": what the rover senses, every 100 ms of a run and right after a bounce. [control] is the two
    characters as the server writes them ("a-", "bL", ...), [controls] the same as states. *)
type telemetry = {
  time_ms : int;
  control : string;
  controls : Rover_controls.t;
  x : float;
  y : float;
  heading : float;
  speed : float;
  objects : seen_object list;
}

type message = Init of init | Telemetry of telemetry | Event of event | End of end_of_run
