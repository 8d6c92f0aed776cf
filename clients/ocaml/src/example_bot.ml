(* An example controller: drives straight at the home base, turning hard when it points far off and
   slowing down for tight turns. It knows nothing of boulders, craters or Martians, so it gets home
   on open ground (maps/open_plain.json) and is the place to start your own.

     _build/example_bot [host] [port]      (defaults: localhost 17676) *)

open Rover_messages

let max_speed = ref 10.0

let on_init (init : init) =
  max_speed := init.max_speed;
  Printf.printf "map %.0f x %.0f, time limit %d ms, top speed %.3f\n%!" init.dx init.dy init.time_limit_ms
    init.max_speed

(* Wraps an angle into (-180, 180] degrees. *)
let rec normalize degrees =
  if degrees <= -180.0 then normalize (degrees +. 360.0)
  else if degrees > 180.0 then normalize (degrees -. 360.0)
  else degrees

let on_telemetry (t : telemetry) =
  (* Heading error towards the origin; positive means home is to the left. *)
  let bearing = Float.atan2 (-.t.y) (-.t.x) *. 180.0 /. Float.pi in
  let error = normalize (bearing -. t.heading) in
  let turn =
    if Float.abs error > 20.0 then if error > 0.0 then 2 else -2 (* hard turn *)
    else if Float.abs error > 3.0 then if error > 0.0 then 1 else -1
    else 0
  in
  (* Fast when pointing home, slow while turning so the circle stays tight. *)
  let distance = Float.hypot t.x t.y in
  let target = if Float.abs error < 30.0 then 0.6 *. !max_speed else 0.2 *. !max_speed in
  let target = if distance < 15.0 then Float.min target (0.4 *. !max_speed) else target in
  let accel = if t.speed < target -. 0.3 then 1 else if t.speed > target +. 0.5 then -1 else 0 in
  Rover_controls.make accel turn

let () = Rover_client.main { Rover_session.default_bot with on_init; on_telemetry }
