#!/usr/bin/env bash
# Brings udisks2 up for the volume-probe tests, and takes down exactly what it brought up.
#   udisks-fixture.sh start STATE_DIR   prints DBUS_SYSTEM_BUS_ADDRESS=… for the tests
#   udisks-fixture.sh polkit STATE_DIR  the same for polkitd alone (a private bus with
#                                       polkitd on it, or the polkit that already answers)
#   udisks-fixture.sh add-user STATE_DIR USER     a system user with no home or shell,
#                                               able to reach the private bus
#   udisks-fixture.sh allow-user STATE_DIR USER   a polkit rule that lets USER mount and
#                                               unmount loop devices through udisks2
#   udisks-fixture.sh stop STATE_DIR
# A udisks2 that already answers on the system bus (a developer's desktop) is reused and
# nothing is started. Otherwise, as root, a private system bus is started in STATE_DIR with
# udevd (unless one runs), polkitd and udisksd on it. Every process started is recorded in
# STATE_DIR and stopped by its own id; directories that did not exist before are removed.
# A user and a polkit rule are made only on the private bus (never on a developer's own
# system), and removed again by stop.
set -euo pipefail

command=${1:?start or stop}
state=${2:?state directory}
mkdir -p "$state"

udisksd=/usr/libexec/udisks2/udisksd
polkitd=/usr/lib/polkit-1/polkitd
udevd=/lib/systemd/systemd-udevd

log() { echo "udisks-fixture: $*" >&2; }

# Waits until the process has really gone: a dead process can look alive to kill -0 for a
# moment, so its state is read as well.
wait_gone() {
  local pid=$1 i
  for i in $(seq 1 100); do
    [ -e "/proc/$pid" ] || return 0
    case "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo X)" in Z|X) return 0;; esac
    sleep 0.05
  done
  return 1
}

stop_pid() {
  local file=$1 pid
  [ -s "$file" ] || return 0
  pid=$(cat "$file")
  if [ -e "/proc/$pid" ]; then
    kill -TERM "$pid" 2>/dev/null || true
    wait_gone "$pid" || { kill -KILL "$pid" 2>/dev/null || true; wait_gone "$pid" || true; }
  fi
  rm -f "$file"
}

udisks_answers() {
  busctl --system --timeout=3 call org.freedesktop.UDisks2 /org/freedesktop/UDisks2/Manager \
    org.freedesktop.DBus.Properties Get ss org.freedesktop.UDisks2.Manager Version >/dev/null 2>&1
}

polkit_answers() {
  busctl --system --timeout=3 status org.freedesktop.PolicyKit1 >/dev/null 2>&1
}

# Reuses what already answers on the system bus (and says so), or checks that the tools to
# start a private one are here; exits 77 (skip) when neither.
reuse_or_prepare() {
  local what=$1; shift
  if "${what}_answers"; then
    log "reusing the $what that runs on the system bus"
    echo reused >"$state/mode"
    echo "DBUS_SYSTEM_BUS_ADDRESS=${DBUS_SYSTEM_BUS_ADDRESS:-unix:path=/run/dbus/system_bus_socket}"
    return 1
  fi
  if [ "$(id -u)" -ne 0 ]; then log "no $what answers and this is not root"; exit 77; fi
  for tool in dbus-daemon "$polkitd" busctl "$@"; do
    command -v "$tool" >/dev/null || { log "missing $tool"; exit 77; }
  done
  echo private >"$state/mode"
  # The bus socket lives in the state folder, which polkitd (it drops to its own user) and
  # any user of the tests must be able to reach.
  chmod 0755 "$state"
}

start_bus() {
  sed -e '/<user>messagebus/d' -e '/<standard_system_servicedirs/d' -e '/<servicehelper>/d' -e '/<syslog/d' \
    -e "s#/run/dbus/pid#$state/bus.pid#" -e "s#/run/dbus/system_bus_socket#$state/bus.sock#" \
    -e 's#<includedir>system.d<#<includedir>/usr/share/dbus-1/system.d<#' \
    /usr/share/dbus-1/system.conf >"$state/bus.conf"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$state/bus.sock"
  dbus-daemon --config-file="$state/bus.conf" --fork --print-pid >"$state/dbus.pid"
}

start_polkitd() {
  setsid "$polkitd" --no-debug </dev/null >"$state/polkitd.log" 2>&1 &
  echo $! >"$state/polkitd.pid"
  for _ in $(seq 1 100); do polkit_answers && break; sleep 0.05; done
}

start_polkit() {
  reuse_or_prepare polkit || return 0
  start_bus
  start_polkitd
  polkit_answers || { log "polkitd did not come up"; stop; exit 1; }
  echo "DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS"
}

start() {
  reuse_or_prepare udisks "$udisksd" "$udevd" udevadm || return 0
  for dir in /run/udev /run/udisks2 /media/root /run/mount/utab /run/mount/utab.lock; do
    [ -e "$dir" ] || echo "$dir" >>"$state/created-dirs"
  done
  start_bus

  if ! udevadm control --ping >/dev/null 2>&1; then
    setsid "$udevd" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/udevd.pid"
    for _ in $(seq 1 100); do udevadm control --ping >/dev/null 2>&1 && break; sleep 0.05; done
  fi
  udevadm trigger --action=add --subsystem-match=block
  udevadm settle --timeout=20 || true

  # udisksd asks for the polkit authority once, when it starts: polkitd must be on the bus
  # by then, or every caller but root is refused for good.
  start_polkitd
  polkit_answers || log "polkitd did not come up: udisks2 will serve root alone"
  setsid "$udisksd" </dev/null >"$state/udisksd.log" 2>&1 &
  echo $! >"$state/udisksd.pid"
  for _ in $(seq 1 200); do udisks_answers && break; sleep 0.05; done
  udisks_answers || { log "udisksd did not come up"; stop; exit 1; }

  # udisks mounts exFAT with `mount -t exfat`; with no exfat module that needs the FUSE
  # driver's helper under the name mount.exfat.
  if ! grep -qw exfat /proc/filesystems && [ ! -e /usr/sbin/mount.exfat ] && [ -x /usr/sbin/mount.exfat-fuse ]; then
    ln -s mount.exfat-fuse /usr/sbin/mount.exfat
    echo /usr/sbin/mount.exfat >"$state/created-link"
  fi
  echo "DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS"
}

need_private() {
  [ "$(cat "$state/mode" 2>/dev/null || true)" = private ] || { log "no private bus: users are left alone"; exit 77; }
}

add_user() {
  local user=$1
  need_private
  if ! id -u "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    echo "$user" >"$state/created-user"
  fi
  [ -e "/media/$user" ] || echo "/media/$user" >>"$state/created-dirs"
  echo "$(id -u "$user") $(id -g "$user")"
}

allow_user() {
  local user=$1 rule
  need_private
  rule=/etc/polkit-1/rules.d/49-marlowick-test-$user.rules
  cat >"$rule" <<RULE
polkit.addRule(function(action, subject) {
  if (subject.user == "$user" && (action.id == "org.freedesktop.udisks2.filesystem-mount" ||
      action.id == "org.freedesktop.udisks2.filesystem-mount-system" ||
      action.id == "org.freedesktop.udisks2.filesystem-unmount-others")) return polkit.Result.YES;
});
RULE
  chmod 0644 "$rule"
  echo "$rule" >"$state/created-rule"
}

stop() {
  [ "$(cat "$state/mode" 2>/dev/null || true)" = private ] || return 0
  if [ -s "$state/created-rule" ]; then
    rm -f "$(cat "$state/created-rule")"
    rm -f "$state/created-rule"
  fi
  stop_pid "$state/udisksd.pid"
  stop_pid "$state/polkitd.pid"
  if [ -s "$state/udevd.pid" ]; then
    udevadm control --exit >/dev/null 2>&1 || true
    stop_pid "$state/udevd.pid"
  fi
  stop_pid "$state/dbus.pid"
  if [ -s "$state/created-link" ]; then
    link=$(cat "$state/created-link")
    [ -L "$link" ] && rm -f "$link"
    rm -f "$state/created-link"
  fi
  if [ -s "$state/created-dirs" ]; then
    while IFS= read -r dir; do
      case "$dir" in
        /media/*) rmdir "$dir" 2>/dev/null || true ;;  # only when empty: never a mount's folder
        *) rm -rf "$dir" ;;
      esac
    done <"$state/created-dirs"
    rm -f "$state/created-dirs"
  fi
  if [ -s "$state/created-user" ]; then
    userdel "$(cat "$state/created-user")" >/dev/null 2>&1 || true
    rm -f "$state/created-user"
  fi
  rm -f "$state/mode"
}

case "$command" in
  start) start ;;
  polkit) start_polkit ;;
  add-user) add_user "${3:?user name}" ;;
  allow-user) allow_user "${3:?user name}" ;;
  stop) stop ;;
  *) log "unknown command $command"; exit 2 ;;
esac
