#!/usr/bin/env bash
# Installs the build under a prefix of its own, then asks polkitd itself (pkaction, on a
# private system bus with its own polkitd unless one already answers) for the helper's
# action: it must be there, with its message, its defaults and the installed helper's
# path. polkitd reads actions only from its own folder, so the install writes there; the
# test puts back exactly what was there before (the action of a real install, or nothing).
#   check-polkit-action.sh BUILD_DIR POLICY_PATH BUS_FIXTURE
# Exits 77 (skipped) without root or without polkit's tools.
set -euo pipefail

build=${1:?build folder}
policy=${2:?where the action is installed}
fixture=${3:?the script that brings up a bus with polkitd}
action=com.quenmoorlabworks.marlowick.helper

[ "$(id -u)" -eq 0 ] || { echo "needs root: the action goes into polkit's own folder"; exit 77; }
command -v pkaction >/dev/null || { echo "no pkaction"; exit 77; }

# One bus fixture at a time on this machine, as the udisks tests take it.
exec 9>/tmp/marlowick-udisks-fixture.lock
flock 9

state=$(mktemp -d /tmp/marlowick-polkit.XXXXXX)
# polkitd drops to its own user, which must reach the bus socket in here.
chmod 0755 "$state"
prefix=$state/prefix
had=no
if [ -e "$policy" ]; then
  cp -p "$policy" "$state/before.policy"
  had=yes
fi
finish() {
  if [ "$had" = yes ]; then
    cp -p "$state/before.policy" "$policy"
  else
    rm -f "$policy"
  fi
  bash "$fixture" stop "$state/bus" >/dev/null 2>&1 || true
  rm -rf "$state"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

cmake --install "$build" --prefix "$prefix" >"$state/install.log"
helper=$prefix/libexec/marlowick/marlowick-helper
[ -x "$helper" ] || { echo "the helper is not at $helper"; exit 1; }
[ -f "$policy" ] || { echo "the install put no action at $policy"; cat "$state/install.log"; exit 1; }

mkdir -p "$state/bus"
set +e
started=$(bash "$fixture" polkit "$state/bus")
status=$?
set -e
[ "$status" -eq 77 ] && { echo "no polkitd to ask"; exit 77; }
[ "$status" -eq 0 ] || { echo "polkitd could not be brought up: $started"; exit 1; }
export "$(printf '%s\n' "$started" | grep '^DBUS_SYSTEM_BUS_ADDRESS=' | tail -n 1)"

# A polkitd that was already running reads the new file when it notices the change.
listed=
for _ in $(seq 1 50); do
  listed=$(pkaction --verbose --action-id "$action" 2>&1 || true)
  case "$listed" in *"exec.path -> $helper"*) break ;; esac
  sleep 0.1
done
echo "$listed"

expect() {
  case "$listed" in *"$1"*) ;; *) echo "pkaction does not list: $1"; exit 1 ;; esac
}
expect "$action:"
expect "description:       Read and write drives with Marlowick"
expect "message:           Authentication is required to let Marlowick write to a drive"
expect "implicit active:   auth_admin_keep"
expect "org.freedesktop.policykit.exec.path -> $helper"
echo "polkitd lists $action for $helper"
