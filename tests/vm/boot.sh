# Sourced: boot_guest boots the test guest with software emulation, hands it a
# job through a 9p share, follows the job's output and returns its exit code.
# stop_guest ends a guest still running; callers call it from their exit trap.

guest_pid=
follow_pid=

note() { echo "guest: $*" >&2; }

stop_guest() {
  if [ -n "$guest_pid" ] && kill -0 "$guest_pid" 2>/dev/null; then
    kill -TERM "$guest_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$guest_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$guest_pid" 2>/dev/null
  fi
  [ -n "$guest_pid" ] && wait "$guest_pid" 2>/dev/null
  guest_pid=
  if [ -n "$follow_pid" ]; then kill "$follow_pid" 2>/dev/null; wait "$follow_pid" 2>/dev/null; fi
  follow_pid=
}

# wait_for_file FILE LIMIT: 0 once FILE exists, 1 when the guest has ended
# first, 2 when LIMIT seconds have passed.
wait_for_file() {
  local deadline=$((SECONDS + $2))
  while [ ! -e "$1" ]; do
    kill -0 "$guest_pid" 2>/dev/null || { [ -e "$1" ] && return 0; return 1; }
    [ "$SECONDS" -ge "$deadline" ] && return 2
    sleep 0.2
  done
}

show_console() {
  note "last lines of the guest's console ($1/console.log):"
  tail -n 25 "$1/console.log" >&2 2>/dev/null
  tail -n 5 "$1/qemu.log" >&2 2>/dev/null
}

# boot_guest IMAGE_DIR snapshot|write JOB_DIR RUN_LIMIT STAGE [QEMU_ARGS...]
# The job is JOB_DIR/job.sh, run by bash as root in the guest with the job
# folder mounted at /job. "snapshot" discards the guest's writes to its disk.
boot_guest() {
  local image=$1 mode=$2 job=$3 limit=$4 stage=$5
  shift 5
  local drive="file=$image/disk.raw,format=raw,if=virtio,discard=unmap"
  if [ "$mode" = snapshot ]; then drive+=",snapshot=on"; else drive+=",cache=unsafe"; fi
  local started=$SECONDS
  # Without SMAP: under software emulation, 32-bit processes get killed and the
  # guest kernel faults on an iret when it is on. Without 5-level paging and
  # AVX: shorter page walks, and the guest's C library picks SSE string
  # routines, which emulate more cheaply.
  local cpu=${ZENTRILO_VM_CPU:-max,-smap,-la57,-avx,-avx2}
  # The emulator dies with this script even when it is killed outright.
  setpriv --pdeathsig KILL -- qemu-system-x86_64 -nodefaults -no-user-config \
    -accel tcg,thread=multi -cpu "$cpu" -smp 2 -m 2G \
    -display none -monitor none -serial "file:$job/console.log" -no-reboot -nic none \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "console=ttyS0 root=/dev/vda rw init=/sbin/zentrilo-init panic=-1 mitigations=off loglevel=4" \
    -drive "$drive" \
    -virtfs "local,path=$job,mount_tag=job,security_model=none" \
    "$@" </dev/null >"$job/qemu.log" 2>&1 &
  guest_pid=$!

  wait_for_file "$job/booted" "$boot_limit"
  case $? in
    1) note "the emulator ended before the guest booted (stage: boot)"; show_console "$job"; stop_guest; return 125 ;;
    2) note "the guest did not boot within ${boot_limit} s (stage: boot; ZENTRILO_VM_BOOT_TIMEOUT)"
       show_console "$job"; stop_guest; return 124 ;;
  esac
  note "booted in $((SECONDS - started)) s"
  tail -s 0.2 -n +1 -F --pid="$guest_pid" "$job/log" 2>/dev/null &
  follow_pid=$!

  started=$SECONDS
  wait_for_file "$job/rc" "$limit"
  case $? in
    1) note "the guest stopped before its job ended (stage: $stage)"; show_console "$job"; stop_guest; return 125 ;;
    2) note "the $stage took longer than ${limit} s in the guest; stopped"; stop_guest; return 124 ;;
  esac
  local rc
  rc=$(cat "$job/rc")
  note "$stage ended with exit code $rc after $((SECONDS - started)) s"

  local deadline=$((SECONDS + poweroff_limit))
  while kill -0 "$guest_pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      note "the guest did not power off within ${poweroff_limit} s (stage: power-off); stopped"
      break
    fi
    sleep 0.2
  done
  stop_guest
  return "$rc"
}
