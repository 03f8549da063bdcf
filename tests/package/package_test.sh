#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, checks what it put
# where, then removes and purges it. Needs root. The machine is left as it was
# found, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/../.."

if ((EUID != 0)); then
  echo "package test: skipped, installing a package needs root" >&2
  exit 0
fi

# One package test at a time on this machine.
mkdir -p /run/lock
exec 9>/run/lock/talvero-package-test.lock
flock 9

unit=/etc/systemd/system/TalveroService.service
wants=/etc/systemd/system/multi-user.target.wants/TalveroService.service
home=/var/lib/talvero
lib=/usr/lib/talvero
version=$(sed -n 's/^project(talvero VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "FAIL: $*" >&2
  exit 1
}
package_state() {
  dpkg-query -W -f='${db:Status-Status}' talvero 2>/dev/null || echo not-installed
}

# The clean-up removes all the package makes, so none of it may be here already.
[[ $(package_state) == not-installed ]] || die "the package talvero is installed on this machine"
for account in passwd group; do
  ! getent "$account" talvero >/dev/null || die "this machine has a $account entry talvero"
done
for path in "$home" "$unit" "$wants" "$lib"; do
  [[ ! -e $path && ! -L $path ]] || die "$path exists on this machine"
done

log=$(mktemp)
cleanup() {
  rm -f "$log" "$log.unit"
  if [[ $(package_state) != not-installed ]] && ! dpkg --purge talvero >/dev/null 2>&1; then
    # A failing maintainer script would keep the package: purge it without them.
    rm -f /var/lib/dpkg/info/talvero.prerm /var/lib/dpkg/info/talvero.postrm
    dpkg --purge --force-remove-reinstreq talvero >/dev/null 2>&1 || true
  fi
  rm -rf "$home" "$lib"
  rm -f "$unit" "$wants"
  if getent passwd talvero >/dev/null; then
    userdel talvero
  fi
  if getent group talvero >/dev/null; then
    groupdel talvero
  fi
}
trap cleanup EXIT

deb=$(scripts/package.sh | tail -n 1)
[[ -f $deb ]] || die "scripts/package.sh made no package ($deb)"
[[ $(basename "$deb") == "talvero_${version}_amd64.deb" ]] || fail "package file name $deb"

# What the package says about itself.
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
# One package name a line, without the versions.
depend_names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for needed in libc6 libstdc++6 libgcc-s1 libfmt9 libsystemd0 adduser systemd; do
  grep -qxF "$needed" <<<"$depend_names" || fail "Depends lacks $needed: $depends"
done
! grep -q -- '-dev$' <<<"$depend_names" || fail "Depends names a development package: $depends"
not_root=$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')
[[ -z $not_root ]] || fail "files not owned by root: $not_root"

run_step() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    die "$* failed"
  fi
}

run_step dpkg -i "$deb"
if [[ ! -d /run/systemd/system ]]; then
  grep -q "starts at the next boot" "$log" || fail "dpkg -i does not say when the service starts"
fi

# Files.
[[ $(readlink -f /usr/bin/talvero) == "$lib/talvero" ]] || fail "/usr/bin/talvero leads elsewhere"
for program in "$lib/talvero" "$lib/install.sh" "$lib/uninstall.sh" \
  /usr/bin/talvero-unit /usr/bin/talvero-station; do
  [[ -f $program && -x $program ]] || fail "$program is not an executable file"
done
for doc in README.md copyright; do
  [[ -s /usr/share/doc/talvero/$doc ]] || fail "/usr/share/doc/talvero/$doc is missing"
done
[[ $(talvero --version) == "talvero $version" ]] || fail "talvero --version: $(talvero --version)"
for tool in talvero-unit talvero-station; do
  "$tool" --help >/dev/null || fail "$tool --help"
done

# The account and its home.
IFS=: read -r _ _ uid _ _ user_home shell < <(getent passwd talvero) || die "no user talvero"
((uid < 1000)) || fail "talvero is not a system user (uid $uid)"
[[ $user_home == "$home" ]] || fail "home of talvero is $user_home"
[[ $shell == /usr/sbin/nologin ]] || fail "talvero has the shell $shell"
[[ " $(id -nG talvero) " == *" dialout "* ]] || fail "talvero is not in the group dialout"
[[ $(stat -c '%U %G %a' "$home") == "talvero talvero 750" ]] ||
  fail "$home is $(stat -c '%U %G %a' "$home")"

# The unit: runs the packaged program as talvero in its home, enabled for boot.
for line in "ExecStart=$lib/talvero --service --home $home" "WorkingDirectory=$home" \
  "User=talvero" "WantedBy=multi-user.target"; do
  grep -qxF "$line" "$unit" || fail "the unit lacks \"$line\""
done
[[ $(readlink "$wants") == "$unit" ]] || fail "the unit is not enabled"
# It exits 0 on keys it does not know, and says so: any output is a fault.
if ! verify=$(systemd-analyze verify "$unit" 2>&1) || [[ -n $verify ]]; then
  fail "systemd-analyze verify: $verify"
fi

# The console's install.sh, beside the program, registers the same unit again.
cp "$unit" "$log.unit"
run_step "$lib/install.sh" -SILENT
cmp -s "$unit" "$log.unit" || fail "$lib/install.sh wrote another unit"

# Installing over itself, as an upgrade does: the old prerm removes the
# service, the new postinst registers it again for the same account.
run_step dpkg -i "$deb"
cmp -s "$unit" "$log.unit" || fail "the unit differs after installing again"
[[ $(readlink "$wants") == "$unit" ]] || fail "the unit is not enabled after installing again"
[[ $(id -u talvero) == "$uid" ]] || fail "installing again made another user talvero"

run_step dpkg -r talvero
for path in "$lib" /usr/bin/talvero /usr/bin/talvero-unit /usr/bin/talvero-station \
  /usr/share/doc/talvero "$unit" "$wants"; do
  [[ ! -e $path && ! -L $path ]] || fail "$path is left after dpkg -r"
done
[[ -d $home ]] || fail "dpkg -r removed the home $home"
getent passwd talvero >/dev/null || fail "dpkg -r removed the user talvero"

run_step dpkg -P talvero
[[ ! -e $home ]] || fail "$home is left after dpkg -P"
! getent passwd talvero >/dev/null || fail "the user talvero is left after dpkg -P"
! getent group talvero >/dev/null || fail "the group talvero is left after dpkg -P"
[[ $(package_state) == not-installed ]] || fail "dpkg still knows talvero: $(package_state)"

if ((failures)); then
  echo "package test: $failures failed checks" >&2
  exit 1
fi
echo "package test: passed"
