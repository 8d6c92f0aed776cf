#!/usr/bin/env bash
# Runs a command against a private one-node Slurm cluster:
#
#   tests/tournament/one_node_slurm.sh COMMAND [ARGS...]
#
# It starts munged, slurmctld and slurmd in a temporary folder with their own
# munge key and socket, a generated slurm.conf (SLURM_CONF is exported to the
# command) and free ports, so it never touches /etc/slurm or /etc/munge and
# never meets a system cluster. Every daemon is stopped from a trap, and the
# script fails if any process of the cluster is left. It needs root (the key is
# root's and SlurmUser is root) and Debian's slurm-wlm and munge.
#
# When the daemons cannot start it exits 77 (a skip for CTest) with a message,
# except under CI=true, where that is a failure (exit 1).
set -euo pipefail

readonly kSkip=77
readonly kBound=60 # seconds for any one daemon to come up or go away

if (($# == 0)); then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

cannot_start() {
  if [[ "${CI:-}" == "true" ]]; then
    echo "one_node_slurm: FAILED: $1" >&2
    exit 1
  fi
  echo "one_node_slurm: SKIPPED: $1 (set CI=true to make this a failure)" >&2
  exit "$kSkip"
}

for program in munged mungekey slurmctld slurmd sbatch squeue scontrol sinfo scancel python3; do
  command -v "$program" >/dev/null || cannot_start "$program is not installed (scripts/install-deps.sh installs it)"
done
((EUID == 0)) || cannot_start "the cluster runs as root (SlurmUser=root, root-owned munge key)"

cluster=$(mktemp -d /tmp/rover-slurm.XXXXXX)
# munged wants every folder above its socket searchable by all.
chmod 0711 "$cluster"
mkdir -m 0711 "$cluster/munge"
mkdir -p "$cluster/state" "$cluster/spool" "$cluster/log"
# Every daemon carries this variable, and so does the command (hence its jobs):
# after the stop, a process with it in its environment is a leftover.
readonly marker="ROVER_ONE_NODE_SLURM=$cluster"
daemon_pids=()
keep_logs=false

show_logs() {
  local log
  for log in "$cluster"/log/* "$cluster"/munge/*.log; do
    [[ -f "$log" ]] || continue
    echo "---- ${log#"$cluster"/} (last lines)" >&2
    tail -n 12 "$log" >&2
  done
}

# Pids of live processes whose environment holds the marker, except ours.
leftovers() {
  local entry pid
  for entry in /proc/[0-9]*; do
    pid=${entry#/proc/}
    [[ "$pid" == "$$" || "$pid" == "$BASHPID" ]] && continue
    # Processes that vanish or belong to others cannot be read: not ours.
    if { tr '\0' '\n' <"$entry/environ"; } 2>/dev/null | grep -qxF "$marker"; then
      # A zombie has an empty environment, so a match is a live process.
      echo "$pid"
    fi
  done
}

wait_gone() {
  local pid=$1 waited=0
  while kill -0 "$pid" 2>/dev/null && ((waited < kBound * 10)); do
    sleep 0.1
    waited=$((waited + 1))
  done
  ! kill -0 "$pid" 2>/dev/null
}

stop_cluster() {
  local status=$? pid left
  trap - EXIT INT TERM
  set +e
  if [[ -n "${SLURM_CONF:-}" ]]; then
    # Jobs first, so that no task outlives the daemons that track it.
    scancel --quiet --user=root 2>/dev/null
    for _ in $(seq 1 $((kBound * 2))); do
      [[ -z "$(squeue -h -o %i 2>/dev/null)" ]] && break
      sleep 0.5
    done
  fi
  # Reverse start order: slurmd, slurmctld, munged.
  for ((i = ${#daemon_pids[@]} - 1; i >= 0; i--)); do
    pid=${daemon_pids[i]}
    kill -TERM "$pid" 2>/dev/null
    if ! wait_gone "$pid"; then
      echo "one_node_slurm: daemon $pid ignored SIGTERM; killing it" >&2
      kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
  done
  left=$(leftovers)
  if [[ -n "$left" ]]; then
    echo "one_node_slurm: FAILED: processes of the cluster were left: $(echo $left)" >&2
    ps -o pid,args -p "$(echo $left | tr ' ' ',')" >&2
    kill -KILL $left 2>/dev/null
    status=1
  fi
  if ((status != 0)) && [[ "$status" != "$kSkip" ]]; then show_logs; fi
  if [[ "$keep_logs" == true ]]; then
    echo "one_node_slurm: logs kept in $cluster" >&2
  else
    rm -rf "$cluster"
  fi
  exit "$status"
}
trap stop_cluster EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Two ports nothing listens on now. Slurm binds them on every address.
read -r ctld_port slurmd_port < <(python3 -c '
import socket
held = [socket.socket() for _ in range(2)]
for s in held:
    s.bind(("", 0))
print(*(s.getsockname()[1] for s in held))')

# The cluster's own munge key: root-owned and readable by root only.
mungekey --create --keyfile="$cluster/munge/munge.key"
chown root:root "$cluster/munge/munge.key"
chmod 0400 "$cluster/munge/munge.key"
env "$marker" munged --foreground --force \
  --key-file="$cluster/munge/munge.key" --socket="$cluster/munge/munge.socket" \
  --pid-file="$cluster/munge/munged.pid" --log-file="$cluster/munge/munged.log" \
  --seed-file="$cluster/munge/munged.seed" >"$cluster/log/munged.out" 2>&1 &
daemon_pids+=($!)
for _ in $(seq 1 $((kBound * 10))); do
  [[ -S "$cluster/munge/munge.socket" ]] && break
  kill -0 "${daemon_pids[0]}" 2>/dev/null || break
  sleep 0.1
done
if ! munge --socket="$cluster/munge/munge.socket" --no-input 2>/dev/null |
  unmunge --socket="$cluster/munge/munge.socket" >/dev/null 2>&1; then
  show_logs
  cannot_start "munged did not start"
fi

node=$(hostname -s)
cat >"$cluster/slurm.conf" <<EOF
# A private one-node cluster for tests; generated by one_node_slurm.sh.
ClusterName=rovertest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$cluster/munge/munge.socket
ProctrackType=proctrack/pgid
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SlurmdParameters=config_overrides
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MaxArraySize=${ONE_NODE_SLURM_MAX_ARRAY_SIZE:-1001}
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/log/slurmctld.log
SlurmdLogFile=$cluster/log/slurmd.log
NodeName=$node NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=main Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF="$cluster/slurm.conf"

env "$marker" slurmctld -D -i >"$cluster/log/slurmctld.out" 2>&1 &
daemon_pids+=($!)
env "$marker" slurmd -D -N "$node" >"$cluster/log/slurmd.out" 2>&1 &
daemon_pids+=($!)

node_ready=false
for _ in $(seq 1 $((kBound * 2))); do
  state=$(sinfo -h -N -n "$node" -o %T 2>/dev/null || true)
  if [[ "$state" == idle* ]]; then
    node_ready=true
    break
  fi
  for pid in "${daemon_pids[@]}"; do
    kill -0 "$pid" 2>/dev/null || break 2
  done
  sleep 0.5
done
if [[ "$node_ready" != true ]]; then
  show_logs
  cannot_start "slurmctld and slurmd did not bring node $node up (state: ${state:-none})"
fi

echo "one_node_slurm: cluster up in $cluster (node $node, ports $ctld_port and $slurmd_port)" >&2
set +e
env "$marker" "$@"
status=$?
set -e
((status == 0)) || keep_logs=${ONE_NODE_SLURM_KEEP_LOGS:-false}
exit "$status"
