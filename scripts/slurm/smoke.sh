#!/usr/bin/env bash
# Proves scripts/slurm/sweep.sbatch on this one machine (as root, no systemd needed):
# installs Slurm and MUNGE if missing, writes a one-node configuration in a folder of its
# own, starts munged, slurmctld and slurmd there, submits a sweep as an array with a
# dependent aggregation, waits, compares the aggregate with that of a local sweep run, and
# stops the daemons it started. Not part of CI.
#
# Nothing depends on the host's name resolving: the daemons talk over the loopback address,
# and munged runs on a socket of its own. Every wait is bounded (SMOKE_WAIT seconds for the
# sweep's jobs, 600 by default; far less for the daemons). The daemons it started are
# stopped for certain: SIGTERM, then SIGKILL after ten seconds, and so is any process left
# running under the smoke's configuration. A failed smoke keeps its folder (the daemons'
# logs, the jobs' outputs) and prints the tail of each log; KEEP=1 keeps it after a success
# too.
#
# Usage: [KEEP=1] [SMOKE_WAIT=S] scripts/slurm/smoke.sh [path/to/zelworld-cli]
#        (from anywhere; the command line defaults to build/bin/zelworld-cli of this clone)
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=$(realpath "${1:-build/bin/zelworld-cli}")
[ -x "$cli" ] || { echo "smoke: $cli is missing; build first" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "smoke: run as root (it starts the Slurm daemons)" >&2; exit 2; }
job_wait=${SMOKE_WAIT:-600}

missing=()
for p in slurm-wlm munge; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

work=$(mktemp -d /tmp/zelworld-slurm-XXXXXX)
chmod 755 "$work"
repo=$PWD
export SLURM_CONF=$work/slurm.conf
daemons=()   # "name pid" of every daemon started here
jobs_submitted=()

say() { echo "smoke: $*" >&2; }

# Runs the shell command $2 every half second until it succeeds, for at most $1 seconds; each
# try is itself bounded to five seconds, so that a command that hangs (a name lookup) cannot
# stretch the wait.
wait_until() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt "$deadline" ]; do
    if timeout 5 bash -c "$2" >/dev/null 2>&1; then return 0; fi
    sleep 0.5
  done
  return 1
}

# SIGTERM, then SIGKILL for what is still there after ten seconds.
stop_pids() {
  local pid alive=()
  for pid in "$@"; do kill -TERM "$pid" 2>/dev/null && alive+=("$pid"); done
  [ ${#alive[@]} -gt 0 ] || return 0
  for _ in $(seq 100); do
    local left=()
    for pid in "${alive[@]}"; do kill -0 "$pid" 2>/dev/null && left+=("$pid"); done
    [ ${#left[@]} -eq 0 ] && return 0
    alive=("${left[@]}")
    sleep 0.1
  done
  for pid in "${alive[@]}"; do
    say "process $pid ignored SIGTERM; killing it"
    kill -KILL "$pid" 2>/dev/null || true
  done
}

# Processes that run under this smoke's configuration (job steps, the jobs themselves): their
# environment names it.
strays() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" != $$ ] || continue
    { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qxF "SLURM_CONF=$SLURM_CONF" && echo "$pid"
  done
  return 0
}

finish() {
  local status=$?
  trap - EXIT INT TERM HUP
  # The aggregation's job, submitted with --wait, is named in its log.
  local aggregation
  aggregation=$(head -n 1 "$work/aggregate-job.log" 2>/dev/null | tr -dc 0-9)
  [ -z "$aggregation" ] || jobs_submitted+=("$aggregation")
  if [ ${#jobs_submitted[@]} -gt 0 ]; then timeout 10 scancel "${jobs_submitted[@]}" >/dev/null 2>&1 || true; fi
  # The node first, then the controller, then MUNGE, which both need until they end.
  local i pids=()
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    stop_pids "${daemons[i]#* }"
  done
  mapfile -t pids < <(strays)
  if [ ${#pids[@]} -gt 0 ]; then
    say "stopping ${#pids[@]} process(es) left under the smoke's configuration"
    stop_pids "${pids[@]}"
  fi
  if [ $status -ne 0 ]; then
    local log
    for log in "$work"/*.log "$work"/zelworld-sweep-*.out; do
      [ -s "$log" ] || continue
      echo "---- tail of $log" >&2
      tail -n 20 "$log" >&2
    done
    say "FAILED; the logs are kept in $work"
  elif [ "${KEEP:-0}" = 1 ]; then
    say "kept $work"
  else
    rm -rf "$work"
  fi
  exit $status
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Starts a daemon in the foreground of a background job, so that its process id is known for
# certain, with its output in its log.
start() {
  local name=$1
  shift
  "$@" >>"$work/$name.log" 2>&1 &
  daemons+=("$name $!")
}

# MUNGE: a key if there is none, and a munged of our own on its own socket, as user munge.
if [ ! -s /etc/munge/munge.key ]; then
  mungekey --create --keyfile /etc/munge/munge.key
  chown munge:munge /etc/munge/munge.key
  chmod 400 /etc/munge/munge.key
fi
install -d -o munge -g munge -m 755 "$work/munge"
export socket=$work/munge/munge.socket
start munged setpriv --reuid=munge --regid=munge --init-groups /usr/sbin/munged --foreground \
  --socket="$socket" --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/seed" \
  --key-file=/etc/munge/munge.key --origin=127.0.0.1 --force
wait_until 20 'munge -n -S "$socket" | unmunge -S "$socket"' || { say "munged did not answer on $socket"; exit 1; }

host=$(hostname -s)
cpus=$(nproc)
mkdir -p "$work/state" "$work/spool"
cat >"$SLURM_CONF" <<CONF
ClusterName=zelsmoke
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=16817
SlurmdPort=16818
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
ReturnToService=2
MpiDefault=none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
NodeName=$host NodeAddr=127.0.0.1 NodeHostname=$host CPUs=$cpus RealMemory=1000 State=UNKNOWN
PartitionName=smoke Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
start slurmctld slurmctld -D -i -f "$SLURM_CONF"
wait_until 30 'scontrol ping | grep -q UP' || { say "slurmctld did not answer on 127.0.0.1:16817"; exit 1; }
start slurmd slurmd -D -f "$SLURM_CONF" -N "$host"
if ! wait_until 60 '[ "$(sinfo -h -o %t)" = idle ]'; then
  say "the node is not idle after 60 s: $(timeout 5 sinfo -h -o '%t %E' 2>&1 || echo 'sinfo did not answer')"
  exit 1
fi

# A small sweep: three conditions, four seeds, in four array tasks.
"$cli" sweep plan --vary reproduction=phenotype,genotype,both --set pop-size=20 --set generations=20 \
  --seeds 4 --out "$work/plan.csv" >/dev/null
"$cli" sweep run "$work/plan.csv" --out "$work/local" >/dev/null
"$cli" sweep aggregate "$work/local" --bootstrap 100 >/dev/null

cd "$work"
export ZELWORLD_CLI=$cli ZELWORLD_BOOTSTRAP=100
sbatch_script=$repo/scripts/slurm/sweep.sbatch
array=$(timeout 30 sbatch --parsable --array=0-3 --cpus-per-task=1 "$sbatch_script" plan.csv cluster)
jobs_submitted+=("$array")
if ! timeout "$job_wait" sbatch --parsable --wait --dependency=afterany:"$array" "$sbatch_script" plan.csv \
  cluster >"$work/aggregate-job.log" 2>&1; then
  say "the sweep's jobs did not end within $job_wait s"
  timeout 5 squeue >&2 || true
  exit 1
fi

failed=0
for f in aggregate.csv comparison.csv; do
  if cmp -s local/$f cluster/$f; then echo "smoke: $f of the Slurm array equals the local one"; else
    say "FAIL: $f differs"
    failed=1
  fi
done
[ $failed = 0 ] || exit 1
echo "slurm smoke: 1 passed, 0 failed"
