(* Connects a bot to the server and plays until the server closes the connection. *)

(** Plays a whole game against host:port. Returns when the server closed the connection between
    runs; raises Protocol_error when it ended in the middle of one, Unix_error when the connection
    fails. *)
let play host port bot =
  (* A write to a closed connection must fail, not kill the program. *)
  Sys.set_signal Sys.sigpipe Sys.Signal_ignore;
  let address =
    match Unix.getaddrinfo host (string_of_int port) [ Unix.AI_SOCKTYPE Unix.SOCK_STREAM ] with
    | a :: _ -> a
    | [] -> failwith ("unknown host " ^ host)
  in
  (* Retried for up to 10 s while nothing listens there yet. *)
  let deadline = Unix.gettimeofday () +. 10.0 in
  let rec connect () =
    let socket = Unix.socket address.ai_family Unix.SOCK_STREAM 0 in
    try
      Unix.connect socket address.ai_addr;
      socket
    with Unix.Unix_error (Unix.ECONNREFUSED, _, _) when Unix.gettimeofday () < deadline ->
      Unix.close socket;
      Unix.sleepf 0.1;
      connect ()
  in
  let socket = connect () in
  Fun.protect ~finally:(fun () -> Unix.close socket) @@ fun () ->
  Unix.setsockopt socket Unix.TCP_NODELAY true;
  let reader = Rover_reader.create () in
  let session = Rover_session.create bot in
  let buffer = Bytes.create 65536 in
  let rec read () =
    try Unix.read socket buffer 0 (Bytes.length buffer) with
    | Unix.Unix_error (Unix.EINTR, _, _) -> read ()
    (* A reset after the last run: the server closed with our last reply unread. *)
    | Unix.Unix_error (Unix.ECONNRESET, _, _) -> 0
  in
  let rec loop () =
    let count = read () in
    if count > 0 then begin
      Rover_reader.feed reader buffer 0 count;
      (* One write for all the replies this read owes: fewer packets, same bytes. *)
      let replies = Buffer.create 64 in
      let rec drain () =
        match Rover_reader.next reader with
        | None -> ()
        | Some message ->
            let reply, line = Rover_session.handle session message in
            Option.iter (Buffer.add_string replies) reply;
            Option.iter print_endline line;
            drain ()
      in
      drain ();
      let bytes = Buffer.to_bytes replies in
      (* The server may close right after the last run's end, before it reads the reply to that
         run's last telemetry; the next read tells whether the game was over. *)
      (try
         let sent = ref 0 in
         while !sent < Bytes.length bytes do
           sent := !sent + Unix.write socket bytes !sent (Bytes.length bytes - !sent)
         done
       with Unix.Unix_error _ -> ());
      loop ()
    end
  in
  loop ();
  if Rover_session.in_run session || Rover_reader.mid_message reader then
    raise (Rover_messages.Protocol_error "the server closed the connection during a run")

(** The usual main: host and port from the command line (default localhost 17676); a failure is one
    line on standard error and exit status 1, a bad command line exit status 2. *)
let main bot =
  let arg i default = if Array.length Sys.argv > i then Sys.argv.(i) else default in
  let port =
    match int_of_string_opt (arg 2 "17676") with
    | Some port when port >= 0 && port < 65536 && Array.length Sys.argv <= 3 -> port
    | _ ->
        prerr_endline ("usage: " ^ Sys.argv.(0) ^ " [host] [port]");
        exit 2
  in
  try play (arg 1 "localhost") port bot
  with
  | Rover_messages.Protocol_error why | Failure why ->
      prerr_endline ("bot: " ^ why);
      exit 1
  | Unix.Unix_error (error, call, _) ->
      prerr_endline ("bot: " ^ call ^ ": " ^ Unix.error_message error);
      exit 1
