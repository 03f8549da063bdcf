#!/usr/bin/env bash
# Builds the Debian package of talvero from a Release build (build/release) and
# prints its path: build/package/talvero_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
build=build/release
out=build/package

# Everything but the package's path goes to standard error.
scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF -DTALVERO_BENCH=OFF >&2

version=$("$build/talvero" --version | awk '{print $2}')
arch=$(dpkg --print-architecture)
deb="$out/talvero_${version}_${arch}.deb"

# dpkg-shlibdeps expects a source tree: debian/control and the files below debian/<package>/.
work="$out/work"
root="$work/debian/talvero"
rm -rf "$work"
mkdir -p "$root/DEBIAN" "$root/usr/bin"
touch "$work/debian/control"

# The program and the scripts the console runs lie in one folder, which the
# program finds through /proc/self/exe: that names the file behind the symlink.
install -D -m 0755 -s "$build/talvero" "$root/usr/lib/talvero/talvero"
install -m 0755 packaging/deb/install.sh packaging/uninstall.sh "$root/usr/lib/talvero/"
ln -s ../lib/talvero/talvero "$root/usr/bin/talvero"
install -m 0755 -s "$build/talvero-unit" "$build/talvero-station" "$root/usr/bin/"
install -D -m 0644 README.md "$root/usr/share/doc/talvero/README.md"
install -m 0644 packaging/deb/copyright "$root/usr/share/doc/talvero/"
install -m 0755 packaging/deb/postinst packaging/deb/prerm packaging/deb/postrm "$root/DEBIAN/"

shlibs=$(cd "$work" &&
  dpkg-shlibdeps -O debian/talvero/usr/lib/talvero/talvero debian/talvero/usr/bin/talvero-unit \
    debian/talvero/usr/bin/talvero-station | sed -n 's/^shlibs:Depends=//p')
installed_size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)

cat >"$root/DEBIAN/control" <<CONTROL
Package: talvero
Version: $version
Architecture: $arch
Maintainer: Talvero developers <talvero@localhost>
Installed-Size: $installed_size
Depends: $shlibs, adduser, systemd
Section: net
Priority: optional
Description: receiver gateway for alarm central stations
 Talvero receives the frames of GPRS alarm communicators over TCP and UDP,
 answers them, keeps a record of every unit, and hands each alarm event as a
 line of the receiver automation format over a serial port to the monitoring
 software of the central station. It runs as the systemd service
 TalveroService under the user talvero, with its data in /var/lib/talvero.
 .
 The field tools talvero-unit and talvero-station play a field unit and the
 monitoring software, for installing and testing a receiver.
CONTROL

dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >&2
echo "$PWD/$deb"
