(* The rover's control states and the commands that move them. *)

(** accel: -1 brake, 0 roll, 1 accelerate; turn: -2 hard right .. 2 hard left. *)
type t = { accel : int; turn : int }

(** The controls every run starts with: rolling straight ("--"). *)
let neutral = { accel = 0; turn = 0 }

let accel_chars = "b-a"
let turn_chars = "Rr-lL"

(** Raises Invalid_argument when a state is out of range: a bug in the bot, not something to send. *)
let make accel turn =
  if accel < -1 || accel > 1 || turn < -2 || turn > 2 then
    invalid_arg (Printf.sprintf "controls out of range: %d, %d" accel turn);
  { accel; turn }

(** Reads the two characters telemetry shows ("a-", "bL", ...); None for anything else. *)
let of_text text =
  if String.length text <> 2 then None
  else
    match (String.index_opt accel_chars text.[0], String.index_opt turn_chars text.[1]) with
    | Some a, Some t -> Some { accel = a - 1; turn = t - 2 }
    | _ -> None

(** The two characters telemetry would show for these controls. *)
let to_text c = Printf.sprintf "%c%c" accel_chars.[c.accel + 1] turn_chars.[c.turn + 2]

(** The controls after the server applied one command; a state already at its end stays there. *)
let after c command =
  let has letter = if String.contains command letter then 1 else 0 in
  let clamp low high v = max low (min high v) in
  { accel = clamp (-1) 1 (c.accel + has 'a' - has 'b'); turn = clamp (-2) 2 (c.turn + has 'l' - has 'r') }

(** The commands ("a", "br", "l", ...) that move [from] to [wanted]: each moves either state by one
    notch, so a hard turn from straight takes two. Empty when they are equal. *)
let commands_toward from wanted =
  let rec go a t acc =
    if a = wanted.accel && t = wanted.turn then List.rev acc
    else
      let step_a = compare wanted.accel a and step_t = compare wanted.turn t in
      let letter step up down = if step > 0 then up else if step < 0 then down else "" in
      go (a + step_a) (t + step_t) ((letter step_a "a" "b" ^ letter step_t "l" "r") :: acc)
  in
  go from.accel from.turn []
