// A Node controller that answers every T with an empty reply: it plays every
// run until its time runs out.
const net = require("net");
const [host, port] = process.argv.slice(2);
const socket = net.connect(Number(port), host);
let rest = "";
socket.on("data", (data) => {
  const messages = (rest + data.toString("latin1")).split(";");
  rest = messages.pop();
  const replies = messages.filter((m) => m.trim().startsWith("T")).length;
  if (replies) socket.write(";".repeat(replies));
});
socket.on("error", () => process.exit(1));
