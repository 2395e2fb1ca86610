# Sourced (POSIX sh): a system bus, polkitd, a test-only action for a build tree's drive helper
# and a throwaway user whom a test-only rule grants it. Starts only what is not running and
# undoes only what it did. Used by the helper's end-to-end test and the benchmark.
#
#   why=$(polkit_env_why_not)        empty when it can run here
#   polkit_env_up HELPER POLICY_IN   sets orm_test_user; non-zero on failure
#   as_test_user CMD ARGS...          runs CMD as that user, without a terminal
#   polkit_env_down                   safe to call at any time, more than once

orm_action_id=com.example.ormandel.helper.test
orm_action_file=/usr/share/polkit-1/actions/$orm_action_id.policy
orm_rules_file=/etc/polkit-1/rules.d/49-ormandel-helper-test.rules
orm_test_user=""
orm_started_dbus=""
orm_started_polkitd=""
orm_made_action=""
orm_made_rules=""

polkit_env_why_not() {
    if [ "$(id -u)" != 0 ]; then echo "needs root (a polkit action, a rule and a test user)"; return; fi
    for tool in pkexec pkaction dbus-daemon dbus-send useradd userdel setpriv setsid; do
        command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (scripts/install-deps.sh --tests)"; return; }
    done
    [ -x /usr/lib/polkit-1/polkitd ] || echo "polkitd is missing (scripts/install-deps.sh --tests)"
}

orm_bus_answers() {
    dbus-send --system --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId >/dev/null 2>&1
}

orm_polkit_answers() {
    dbus-send --system --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        string:org.freedesktop.PolicyKit1 2>/dev/null | grep -q 'boolean true'
}

polkit_env_up() {
    helper=$1 policy_in=$2
    if ! orm_bus_answers; then
        mkdir -p /run/dbus
        # A pid file left by a bus that is gone stops a new one from starting.
        rm -f /run/dbus/pid
        orm_started_dbus=$(dbus-daemon --system --fork --print-pid) || return 1
    fi
    if ! orm_polkit_answers; then
        /usr/lib/polkit-1/polkitd --no-debug >/dev/null 2>&1 &
        orm_started_polkitd=$!
    fi
    n=0
    until orm_polkit_answers; do
        n=$((n + 1)); [ $n -le 100 ] || { echo "polkitd did not come up" >&2; return 1; }
        sleep 0.1
    done

    orm_test_user=ormhelper$$
    useradd -M -N -g nogroup -s /usr/sbin/nologin "$orm_test_user" || { orm_test_user=""; return 1; }

    orm_made_action=1
    sed -e "s/id=\"com.example.ormandel.helper\"/id=\"$orm_action_id\"/" \
        -e "s#@ORMANDEL_HELPER_PATH@#$helper#" "$policy_in" >"$orm_action_file" || return 1
    orm_made_rules=1
    cat >"$orm_rules_file" <<RULES || return 1
polkit.addRule(function(action, subject) {
    if (action.id == "$orm_action_id" && subject.user == "$orm_test_user") return polkit.Result.YES;
});
RULES
    # polkitd reads both directories again when they change.
    n=0
    until pkaction --action-id "$orm_action_id" >/dev/null 2>&1; do
        n=$((n + 1)); [ $n -le 100 ] || { echo "polkitd did not read $orm_action_file" >&2; return 1; }
        sleep 0.1
    done
    sleep 1
}

as_test_user() {
    setsid -w setpriv --reuid="$orm_test_user" --regid=nogroup --clear-groups \
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/ LANG=C.UTF-8 "$@"
}

polkit_env_down() {
    [ -z "$orm_made_rules" ] || rm -f "$orm_rules_file"
    [ -z "$orm_made_action" ] || rm -f "$orm_action_file"
    orm_made_rules="" orm_made_action=""
    if [ -n "$orm_test_user" ]; then userdel "$orm_test_user" 2>/dev/null || true; orm_test_user=""; fi
    if [ -n "$orm_started_polkitd" ]; then
        kill "$orm_started_polkitd" 2>/dev/null || true
        wait "$orm_started_polkitd" 2>/dev/null || true
        orm_started_polkitd=""
    fi
    if [ -n "$orm_started_dbus" ]; then
        kill "$orm_started_dbus" 2>/dev/null || true
        n=0
        while kill -0 "$orm_started_dbus" 2>/dev/null && [ $n -lt 50 ]; do n=$((n + 1)); sleep 0.1; done
        rm -f /run/dbus/pid
        orm_started_dbus=""
    fi
}
