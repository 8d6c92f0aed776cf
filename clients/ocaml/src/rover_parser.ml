(* Turns one message's text (without its ';') into a typed message. *)

open Rover_messages

let malformed text why =
  let shown = if String.length text > 60 then String.sub text 0 60 ^ "..." else text in
  raise (Protocol_error (Printf.sprintf "malformed message %S: %s" shown why))

let is_digits s = s <> "" && String.for_all (fun c -> c >= '0' && c <= '9') s

(** Parses one complete message; raises Protocol_error on anything the server never sends. *)
let parse text =
  let fields = Array.of_list (List.filter (( <> ) "") (String.split_on_char ' ' text)) in
  let next = ref 0 in
  let more () = !next < Array.length fields in
  let word () =
    if not (more ()) then malformed text "too few fields";
    incr next;
    fields.(!next - 1)
  in
  (* The server writes plain decimals; float_of_string alone would also take "nan" or "1e3". *)
  let real () =
    let field = word () in
    let digits =
      if String.length field > 0 && field.[0] = '-' then String.sub field 1 (String.length field - 1)
      else field
    in
    let plain =
      match String.index_opt digits '.' with
      | None -> is_digits digits
      | Some dot ->
          is_digits (String.sub digits 0 dot)
          && is_digits (String.sub digits (dot + 1) (String.length digits - dot - 1))
    in
    if not plain then malformed text (Printf.sprintf "bad number %S" field);
    float_of_string field
  in
  let time () =
    let field = word () in
    if not (is_digits field && String.length field <= 18) then
      malformed text (Printf.sprintf "bad time %S" field);
    int_of_string field
  in
  let finish message =
    if more () then malformed text "too many fields";
    message
  in
  match word () with
  | "I" ->
      (* Fields are read in wire order: a record literal would leave the order to the compiler. *)
      let dx = real () in
      let dy = real () in
      let time_limit_ms = time () in
      let rear_view = real () in
      let front_view = real () in
      let max_speed = real () in
      let turn = real () in
      let hard_turn = real () in
      finish (Init { dx; dy; time_limit_ms; rear_view; front_view; max_speed; turn; hard_turn })
  | "T" ->
      let time_ms = time () in
      let control = word () in
      let controls =
        match Rover_controls.of_text control with
        | Some c -> c
        | None -> malformed text (Printf.sprintf "bad control field %S" control)
      in
      let x = real () in
      let y = real () in
      let heading = real () in
      let speed = real () in
      let rec objects acc =
        if not (more ()) then List.rev acc
        else
          match word () with
          | ("b" | "c" | "h") as kind ->
              let x = real () in
              let y = real () in
              let radius = real () in
              objects ({ kind = kind.[0]; x; y; radius; heading = 0.0; speed = 0.0 } :: acc)
          | "m" ->
              let x = real () in
              let y = real () in
              let heading = real () in
              let speed = real () in
              objects ({ kind = 'm'; x; y; radius = 0.0; heading; speed } :: acc)
          | kind -> malformed text (Printf.sprintf "unknown object kind %S" kind)
      in
      let objects = objects [] in
      Telemetry { time_ms; control; controls; x; y; heading; speed; objects }
  | ("B" | "C" | "K" | "S") as letter ->
      let time_ms = time () in
      finish (Event { kind = letter.[0]; time_ms })
  | "E" ->
      let time_ms = time () in
      let score_ms = time () in
      finish (End { time_ms; score_ms })
  | letter -> malformed text (Printf.sprintf "unknown message letter %S" letter)
