(* The OCaml kit's tests: kit_test clients/testdata/messages.tsv; exit status 1 on any failure.
   The shared message table read in every split, and the session's replies against a model server. *)

open Rover_messages

let failures = ref 0

let check ok what =
  if not ok then begin
    incr failures;
    if !failures <= 20 then prerr_endline ("FAIL: " ^ what)
  end

let unescape text =
  let out = Buffer.create (String.length text) in
  let rec go i =
    if i < String.length text then
      if text.[i] <> '\\' then (Buffer.add_char out text.[i]; go (i + 1))
      else
        match text.[i + 1] with
        | 't' -> Buffer.add_char out '\t'; go (i + 2)
        | 'n' -> Buffer.add_char out '\n'; go (i + 2)
        | 'r' -> Buffer.add_char out '\r'; go (i + 2)
        | 'x' -> Buffer.add_char out (Char.chr (int_of_string ("0x" ^ String.sub text (i + 2) 2))); go (i + 4)
        | c -> Buffer.add_char out c; go (i + 2)
  in
  go 0;
  Buffer.contents out

(* Each row: the message's bytes, then its fields as the wire writes them. *)
let read_table path =
  let input = open_in_bin path in
  let rec lines acc =
    match input_line input with
    | line -> (
        match String.split_on_char '\t' line with
        | bytes :: fields -> lines ((unescape bytes, Array.of_list fields) :: acc)
        | [] -> lines acc)
    | exception End_of_file -> close_in input; List.rev acc
  in
  Array.of_list (lines [])

let real got want what =
  check (Int64.equal (Int64.bits_of_float got) (Int64.bits_of_float (float_of_string want)))
    (Printf.sprintf "%s: %h != %s" what got want)

let time got want what = check (got = int_of_string want) (Printf.sprintf "%s: %d != %s" what got want)

(* Compares every typed field of a parsed message with its table row. *)
let compare_row message (f : string array) what =
  match (f.(0), message) with
  | "I", Init i ->
      List.iter2 (fun got k -> real got f.(k) what)
        [ i.dx; i.dy; i.rear_view; i.front_view; i.max_speed; i.turn; i.hard_turn ] [ 1; 2; 4; 5; 6; 7; 8 ];
      time i.time_limit_ms f.(3) what
  | "T", Telemetry t ->
      time t.time_ms f.(1) what;
      check (t.control = f.(2)) (what ^ ": control");
      let accel = String.index "b-a" f.(2).[0] - 1 and turn = String.index "Rr-lL" f.(2).[1] - 2 in
      check (t.controls = { Rover_controls.accel; turn }) (what ^ ": controls");
      List.iteri (fun k got -> real got f.(k + 3) what) [ t.x; t.y; t.heading; t.speed ];
      check (List.length t.objects = int_of_string f.(7)) (what ^ ": object count");
      let k =
        List.fold_left
          (fun k (o : seen_object) ->
            check (String.make 1 o.kind = f.(k)) (what ^ ": object kind");
            let fields = if o.kind = 'm' then [ o.x; o.y; o.heading; o.speed ] else [ o.x; o.y; o.radius ] in
            List.iteri (fun j got -> real got f.(k + 1 + j) what) fields;
            k + 1 + List.length fields)
          8 t.objects
      in
      check (k = Array.length f) (what ^ ": table row has fields left over")
  | "E", End e ->
      time e.time_ms f.(1) what;
      time e.score_ms f.(2) what
  | letter, Event e ->
      check (String.make 1 e.kind = letter) (what ^ ": event letter");
      time e.time_ms f.(1) what
  | letter, _ -> check false (what ^ ": table says " ^ letter ^ ", read another message")

let read_in_pieces rows stream piece how =
  let reader = Rover_reader.create () in
  let got = ref [] in
  let bytes = Bytes.of_string stream in
  let at = ref 0 in
  while !at < Bytes.length bytes do
    let n = min (piece ()) (Bytes.length bytes - !at) in
    Rover_reader.feed reader bytes !at n;
    at := !at + n;
    let rec drain () =
      match Rover_reader.next reader with Some m -> got := m :: !got; drain () | None -> ()
    in
    drain ()
  done;
  check (not (Rover_reader.mid_message reader)) (how ^ ": bytes left over");
  let got = Array.of_list (List.rev !got) in
  check (Array.length got = Array.length rows) (how ^ ": message count");
  Array.iteri
    (fun i m ->
      let what = Printf.sprintf "%s, message %d" how (i + 1) in
      if i < Array.length rows then compare_row m (snd rows.(i)) what)
    got

let table_test path =
  let rows = read_table path in
  let stream = String.concat "" (Array.to_list (Array.map fst rows)) in
  let n = Array.length rows in
  let long_t = Array.exists (fun (bytes, f) -> f.(0) = "T" && String.length bytes > 1200) rows in
  let bounce_then_t =
    List.exists
      (fun i -> (snd rows.(i)).(0) = "B" && (snd rows.(i + 1)).(0) = "T")
      (List.init (max 0 (n - 1)) Fun.id)
  in
  check (long_t && bounce_then_t) "the table needs a T over 1200 bytes and a B followed by its T";
  read_in_pieces rows stream (fun () -> 1) "one byte at a time";
  for seed = 1 to 5 do
    let random = Random.State.make [| seed |] in
    read_in_pieces rows stream
      (fun () -> 1 + Random.State.int random 3000)
      (Printf.sprintf "random pieces, seed %d" seed)
  done

let legal = [ "a"; "b"; "l"; "r"; "al"; "ar"; "bl"; "br" ]

(* What the server does with one command: each letter moves its state one notch, stopping at the end. *)
let apply (c : Rover_controls.t) command =
  let has letter = if String.contains command letter then 1 else 0 in
  Rover_controls.make
    (max (-1) (min 1 (c.accel + has 'a' - has 'b')))
    (max (-2) (min 2 (c.turn + has 'l' - has 'r')))

let apply_reply c reply what =
  let n = String.length reply in
  check (reply = ";" || (n >= 2 && String.sub reply (n - 2) 2 = ";;")) (what ^ ": no bare ';' in " ^ reply);
  List.fold_left
    (fun c command ->
      if command = "" then c
      else (check (List.mem command legal) (what ^ ": illegal command " ^ command); apply c command))
    c (String.split_on_char ';' reply)

(* A session against a model server with random wanted controls. In lockstep a reply is applied
   before the next telemetry, so the controls must equal what the bot wanted at once; in real time
   the reply may land a telemetry late, and the controls must still settle on what the bot wants. *)
let session_test late_by_one seed =
  let random = Random.State.make [| seed |] in
  let wanted = ref Rover_controls.neutral in
  let session = Rover_session.create { Rover_session.default_bot with on_telemetry = (fun _ -> !wanted) } in
  let lines = ref [] in
  let init = { dx = 100.; dy = 100.; time_limit_ms = 30000; rear_view = 5.; front_view = 30.; max_speed = 10.;
               turn = 20.; hard_turn = 60. } in
  let early =
    { time_ms = 0; control = "--"; controls = Rover_controls.neutral; x = 0.; y = 0.; heading = 0.; speed = 0.;
      objects = [] }
  in
  let rejects message =
    match Rover_session.handle session message with _ -> false | exception Protocol_error _ -> true
  in
  check (rejects (Telemetry early)) "T before I accepted";
  check (Rover_session.handle session (Init init) = (None, None)) "reply to I";
  check (rejects (End { time_ms = 0; score_ms = 0 })) "E outside a run accepted";
  for _run = 1 to 3 do
    let server = ref Rover_controls.neutral and unapplied = ref None in
    for k = 0 to 199 do
      if k mod 4 = 0 then
        wanted := Rover_controls.make (Random.State.int random 3 - 1) (Random.State.int random 5 - 2);
      let control = Rover_controls.to_text !server in
      let t =
        { time_ms = 100 * k; control; controls = !server; x = 0.; y = 0.; heading = 0.; speed = 0.;
          objects = [] }
      in
      let what = Printf.sprintf "late %b, seed %d, at %d" late_by_one seed t.time_ms in
      let reply, line = Rover_session.handle session (Telemetry t) in
      check (line = None) (what ^ ": a run line");
      Option.iter (fun r -> server := apply_reply !server r what) !unapplied;
      unapplied := reply;
      if not late_by_one then begin
        let before = !server in
        Option.iter (fun r -> server := apply_reply !server r what) !unapplied;
        unapplied := None;
        (* At most two notches per reply, each straight toward what the bot wants. *)
        let closer now was want = abs (now - want) = max 0 (abs (was - want) - 2) in
        check
          (closer !server.accel before.accel !wanted.accel && closer !server.turn before.turn !wanted.turn)
          (what ^ ": not two notches toward the wanted controls")
      end
      else if k mod 4 = 3 then check (!server = !wanted) (what ^ ": controls did not settle");
      if k = 57 then
        let bounce = Event { kind = 'B'; time_ms = 100 * k } in
        check (Rover_session.handle session bounce = (None, None)) "reply to B"
    done;
    let reply, line = Rover_session.handle session (End { time_ms = 20000; score_ms = 20100 }) in
    check (reply = None) "reply to E";
    Option.iter (fun l -> lines := l :: !lines) line
  done;
  check (List.rev !lines = List.init 3 (fun r ->
      Printf.sprintf "run %d: time limit exceeded; time = 20000 ms; score = 20100" (r + 1))) "run lines"

let malformed_test () =
  List.iter
    (fun text ->
      match Rover_parser.parse text with
      | _ -> check false ("accepted " ^ String.escaped text)
      | exception Protocol_error _ -> ())
    [ ""; "Q 1 "; "E 1 "; "B 1 2 "; "T 0 xa 1.000 2.000 3.0 4.000 "; "T 0 -- 1.000 2.000 3.0 ";
      "T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 "; "T 0 -- 1.000 2.000 3.0 4.000 z 1.000 2.000 3.000 ";
      "T 0 -- nan 2.000 3.0 4.000 "; "T 0 -- 1e3 2.000 3.0 4.000 "; "S -5 "; "S 0x5 "; "I 1 2 3 4 5 6 7 " ]

let () =
  table_test Sys.argv.(1);
  List.iter (fun seed -> session_test false seed; session_test true seed) [ 1; 2; 3 ];
  malformed_test ();
  if !failures > 0 then (Printf.eprintf "%d checks failed\n" !failures; exit 1);
  print_endline "ocaml kit: all checks passed"
