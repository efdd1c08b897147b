#!/usr/bin/env bash
# Starts a one-node Slurm cluster on the loopback address (munged, slurmctld and slurmd, all in
# a scratch folder, on ports nobody else is using), runs the given command with SLURM_CONF
# pointing at it, and stops every daemon it started, waiting until each has ended, also when
# the command fails or the script is interrupted.
#   slurm-one-node.sh COMMAND [ARGUMENT...]
# Exit status: the command's (124 when it ran past SLURM_ONE_NODE_TIMEOUT, 90 s); 77 when the daemons cannot be started at all (not root, Slurm or
# MUNGE not installed, no MUNGE key); 1 when they started but the node never became ready.
# Needs root: slurmd runs jobs as their user, and munged runs as the munge user.
set -uo pipefail

skip() { echo "SKIPPED: a one-node Slurm cannot be started here: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "this needs root (slurmd, and munged as the munge user)"
for program in munged slurmctld slurmd srun sinfo runuser python3; do
  command -v "$program" >/dev/null 2>&1 || skip "$program is not installed (scripts/install-deps.sh installs it)"
done
[ -r /etc/munge/munge.key ] || skip "there is no MUNGE key /etc/munge/munge.key"

scratch=$(mktemp -d /tmp/mivaro-slurm.XXXXXX)
chmod 755 "$scratch"

# Stops one daemon by its pid file and waits until it has ended (SIGKILL after 10 s).
stop_daemon() {
  local file=$1 pid
  [ -s "$file" ] || return 0
  pid=$(cat "$file")
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "slurm-one-node: process $pid ($file) did not end"
  return 1
}

cleanup() {
  local status=$? failed=0
  trap - EXIT INT TERM
  if [ -n "${command_pid:-}" ]; then  # stopped from outside: the command goes first
    kill "$command_pid" 2>/dev/null
    wait "$command_pid" 2>/dev/null
  fi
  if [ -n "${SLURM_CONF:-}" ] && [ -s "$scratch/slurmctld.pid" ]; then
    scancel --quiet --user=root 2>/dev/null  # jobs of this cluster only: SLURM_CONF is ours
  fi
  # In reverse order of starting.
  stop_daemon "$scratch/slurmd.pid" || failed=1
  stop_daemon "$scratch/slurmctld.pid" || failed=1
  stop_daemon "$scratch/munge/munged.pid" || failed=1
  rm -rf "$scratch"
  [ $failed -eq 0 ] || status=1
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

show_logs() {
  for log in "$scratch"/munge/munged.log "$scratch"/slurmctld.log "$scratch"/slurmd.log; do
    [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
  done
}

# Two ports that are free now, so that runs side by side do not meet.
read -r ctld_port slurmd_port < <(python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in sockets])')

mkdir -p "$scratch/munge" "$scratch/spool" "$scratch/state"
chown munge:munge "$scratch/munge" && chmod 711 "$scratch/munge" || skip "the munge user is missing"
runuser -u munge -- munged --socket="$scratch/munge/munge.socket" --pid-file="$scratch/munge/munged.pid" \
  --log-file="$scratch/munge/munged.log" --seed-file="$scratch/munge/seed" ||
  { show_logs; skip "munged did not start"; }

host=$(hostname -s)
cat > "$scratch/slurm.conf" <<CONF
ClusterName=mivaro-test
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$scratch/munge/munge.socket
CredType=cred/munge
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
SlurmctldLogFile=$scratch/slurmctld.log
SlurmdLogFile=$scratch/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
NodeName=$host NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=10 State=UP
CONF
export SLURM_CONF=$scratch/slurm.conf
slurmctld -f "$SLURM_CONF" || { show_logs; skip "slurmctld did not start"; }
slurmd -f "$SLURM_CONF" || { show_logs; skip "slurmd did not start"; }
ready=0
for _ in $(seq 100); do
  if sinfo -h -o %t 2>/dev/null | grep -qx idle; then ready=1; break; fi
  sleep 0.2
done
if [ $ready -eq 0 ]; then
  echo "slurm-one-node: the node did not become idle within 20 s"
  sinfo
  show_logs
  exit 1
fi
# In the background, so that a stop request runs the cleanup at once; within a time limit of
# its own, so that the daemons are stopped here before anyone kills this script.
timeout --kill-after=5 "${SLURM_ONE_NODE_TIMEOUT:-90}" "$@" &
command_pid=$!
wait "$command_pid"
status=$?
command_pid=
exit $status
