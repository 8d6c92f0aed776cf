(* Which controls the server will hold once it has read every command sent so far. The server reads
   commands every 50 ms, so the telemetry right after a reply may not show it yet; trusting that
   telemetry would send the same notch twice. *)

(** A reply carries at most this many commands; the rest wait for the next telemetry. *)
let max_commands_per_reply = 2

(* A reply to the telemetry of run time t has certainly been applied by t + 100 ms. *)
let settle_ms = 150

type t = { mutable expected : Rover_controls.t; mutable settled_at_ms : int }

let create () = { expected = Rover_controls.neutral; settled_at_ms = 0 }

(** A run starts rolling straight with nothing pending. *)
let start_run tr =
  tr.expected <- Rover_controls.neutral;
  tr.settled_at_ms <- 0

(** The commands to send in reply to this telemetry to move the controls toward [wanted]. *)
let steer tr (telemetry : Rover_messages.telemetry) wanted =
  if telemetry.time_ms >= tr.settled_at_ms then tr.expected <- telemetry.controls;
  let commands =
    List.filteri (fun i _ -> i < max_commands_per_reply) (Rover_controls.commands_toward tr.expected wanted)
  in
  tr.expected <- List.fold_left Rover_controls.after tr.expected commands;
  if commands <> [] then tr.settled_at_ms <- telemetry.time_ms + settle_ms;
  commands
