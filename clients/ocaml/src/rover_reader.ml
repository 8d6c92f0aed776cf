(* Splits the server's byte stream into messages. TCP delivers bytes in any pieces: a telemetry
   message of a crowded map can arrive in several reads, and one read can hold several messages, so
   bytes wait here until their ';' has arrived. *)

(** An unfinished message longer than this is garbage, not something to buffer for ever. *)
let max_message_bytes = 1 lsl 20

type t = { mutable pending : string; mutable start : int }

let create () = { pending = ""; start = 0 }

(** Appends received bytes ([length] bytes of [bytes] from [offset]). *)
let feed r bytes offset length =
  r.pending <-
    String.sub r.pending r.start (String.length r.pending - r.start) ^ Bytes.sub_string bytes offset length;
  r.start <- 0;
  let unfinished =
    match String.rindex_opt r.pending ';' with
    | Some last -> String.length r.pending - last - 1
    | None -> String.length r.pending
  in
  if unfinished > max_message_bytes then
    raise (Rover_messages.Protocol_error (Printf.sprintf "message longer than %d bytes" max_message_bytes))

(** The next complete message, or None until more bytes arrive. *)
let next r =
  match String.index_from_opt r.pending r.start ';' with
  | None -> None
  | Some stop ->
      let text = String.sub r.pending r.start (stop - r.start) in
      r.start <- stop + 1;
      Some (Rover_parser.parse text)

(** True when bytes of an unfinished message are waiting (the stream should not end here). *)
let mid_message r =
  let rec from i = i < String.length r.pending && (r.pending.[i] <> ' ' || from (i + 1)) in
  from r.start
