#!/bin/sh
# Runs the logind inhibitor test against python3-dbusmock's logind template on a private system
# bus of its own (never the machine's), plus an empty private bus for the case without logind.
# Serialised with the other tests that start a D-Bus bus. Exit 77 (skipped) without the tools.
#   logind_test.sh TEST_EXECUTABLE
set -u
test_exe=$1

python=""
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import dbusmock' >/dev/null 2>&1; then python=$candidate; break; fi
done
if [ -z "$python" ]; then
    echo "SKIP: python3-dbusmock is missing (scripts/install-deps.sh --tests)"; exit 77
fi
for tool in dbus-daemon dbus-send flock; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing (scripts/install-deps.sh --tests)"; exit 77; }
done

exec 9>/tmp/orm-dbus.lock
flock 9

dir=$(mktemp -d /tmp/orm-logind.XXXXXX)
bus_pids=""
mock_pid=""
cleanup() {
    [ -n "$mock_pid" ] && kill "$mock_pid" 2>/dev/null && wait "$mock_pid" 2>/dev/null
    for pid in $bus_pids; do kill "$pid" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A bus that lets its one user do anything: enough for a mock service and its client. Sets
# bus_address. Neither the buses nor the mock keep the lock's descriptor.
start_bus() {
    cat >"$dir/$1.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/$1.socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
    pid=$(dbus-daemon --config-file="$dir/$1.conf" --fork --print-pid 9>&-) || { echo "dbus-daemon did not start"; exit 1; }
    bus_pids="$bus_pids $pid"
    bus_address="unix:path=$dir/$1.socket"
}
start_bus logind
logind_bus=$bus_address
start_bus empty
empty_bus=$bus_address

DBUS_SYSTEM_BUS_ADDRESS=$logind_bus "$python" -m dbusmock --system --template logind >"$dir/mock.log" 2>&1 9>&- &
mock_pid=$!
n=0
until dbus-send --bus="$logind_bus" --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null | grep -q 'boolean true'; do
    n=$((n + 1))
    if [ $n -gt 100 ] || ! kill -0 "$mock_pid" 2>/dev/null; then
        echo "the mock logind did not come up:"; cat "$dir/mock.log"; exit 1
    fi
    sleep 0.1
done

DBUS_SYSTEM_BUS_ADDRESS=$logind_bus ORMANDEL_TEST_SYSTEM_BUS=$logind_bus ORMANDEL_TEST_EMPTY_BUS=$empty_bus \
    QT_QPA_PLATFORM=offscreen "$test_exe" 9>&-
