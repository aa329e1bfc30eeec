#!/usr/bin/env bash
# Proves scripts/slurm/sweep.sbatch on this one machine (as root, no systemd needed):
# installs Slurm and MUNGE if missing, writes a one-node configuration for this host in a
# folder of its own, starts munged, slurmctld and slurmd, submits a sweep as an array with
# a dependent aggregation, waits, compares the aggregate with that of a local sweep run,
# and stops the daemons it started. Not part of CI.
# Usage: scripts/slurm/smoke.sh [path/to/zelworld-cli]   (run from the repository root)
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=$(realpath "${1:-build/bin/zelworld-cli}")
[ -x "$cli" ] || { echo "smoke: $cli is missing; build first" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "smoke: run as root (it starts the Slurm daemons)" >&2; exit 2; }

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
started=()
stop() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  [ "${KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap stop EXIT
# Waits until the pid file $1 names a running process, and records it as started here.
started_from() {
  for _ in $(seq 100); do
    if [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; then started+=("$(cat "$1")"); return; fi
    sleep 0.1
  done
  echo "smoke: $2 did not start" >&2
  [ -f "$3" ] && tail -20 "$3" >&2
  exit 1
}

# MUNGE: a key if there is none, and munged as user munge unless one already runs.
[ -s /etc/munge/munge.key ] || { mungekey --create --keyfile /etc/munge/munge.key && chown munge:munge /etc/munge/munge.key && chmod 400 /etc/munge/munge.key; }
if ! munge -n >/dev/null 2>&1; then
  install -d -o munge -g munge -m 755 /run/munge "$work/munge"
  runuser -u munge -- /usr/sbin/munged --pid-file="$work/munge/munged.pid"
  started_from "$work/munge/munged.pid" munged /var/log/munge/munged.log
fi

host=$(hostname -s)
mkdir -p "$work/state" "$work/spool"
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=zelsmoke
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
SlurmctldPort=16817
SlurmdPort=16818
AuthType=auth/munge
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
NodeName=$host CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=smoke Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -f "$SLURM_CONF"
started_from "$work/slurmctld.pid" slurmctld "$work/slurmctld.log"
slurmd -f "$SLURM_CONF"
started_from "$work/slurmd.pid" slurmd "$work/slurmd.log"
for _ in $(seq 100); do
  [ "$(sinfo -h -o %t 2>/dev/null)" = idle ] && break
  sleep 0.2
done
[ "$(sinfo -h -o %t)" = idle ] || { echo "smoke: the node is not idle: $(sinfo -h)" >&2; exit 1; }

# A small sweep: three conditions, four seeds, in four array tasks.
"$cli" sweep plan --vary reproduction=phenotype,genotype,both --set pop-size=20 --set generations=20 \
  --seeds 4 --out "$work/plan.csv" >/dev/null
"$cli" sweep run "$work/plan.csv" --out "$work/local" >/dev/null
"$cli" sweep aggregate "$work/local" --bootstrap 100 >/dev/null

cd "$work"
export ZELWORLD_CLI=$cli ZELWORLD_BOOTSTRAP=100
sbatch_script=$OLDPWD/scripts/slurm/sweep.sbatch
array=$(sbatch --parsable --array=0-3 --cpus-per-task=1 "$sbatch_script" plan.csv cluster)
sbatch --wait --dependency=afterany:"$array" "$sbatch_script" plan.csv cluster >/dev/null

failed=0
for f in aggregate.csv comparison.csv; do
  if cmp -s local/$f cluster/$f; then echo "smoke: $f of the Slurm array equals the local one"; else
    echo "smoke: FAIL: $f differs" >&2
    failed=1
  fi
done
[ $failed = 0 ] || { cat zelworld-sweep-*.out >&2 || true; exit 1; }
echo "slurm smoke: 1 passed, 0 failed"
