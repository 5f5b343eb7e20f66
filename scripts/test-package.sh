#!/usr/bin/env bash
# The Debian package, tried as a user would: builds it from an existing build
# folder (default build/), checks it (lintian without errors, the desktop
# entry, the AppStream metainfo), installs it with apt-get, walks from the
# sample CSV file to a simulated phone as an unprivileged user with a fresh
# home folder, starts the installed wizard under Xvfb until its window shows,
# checks that the user's files are in the XDG folders and nothing was written
# below /usr, then removes the package again.
# Needs root (or sudo). QVX_PACKAGE_SHOTS=DIR also keeps screenshots of the
# installed wizard in English and German in DIR (with xdotool, of the CSV
# file dialog too).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SHOTS=${QVX_PACKAGE_SHOTS:-}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
USER_NAME=${QVX_PACKAGE_USER:-nobody}
PROGRAM=/usr/lib/qvxwizard

fail() {
  echo "package: $*" >&2
  exit 1
}

echo "-- building the package"
rm -f "$BUILD"/qvxwizard_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/qvxwizard_*_*.deb)
echo "$deb"

echo "-- checking it"
# Root is fine here: lintian only reads the package. Warnings are shown,
# errors fail.
lintian_out=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian reports errors: $lintian_out"
grep -v 'running with root privileges' <<<"$lintian_out" || true
unpacked=$(mktemp -d)
home=""
installed=0
cleanup() {
  rm -rf "$unpacked"
  [ -n "$home" ] && $SUDO rm -rf "$home"
  if [ "$installed" -eq 1 ]; then $SUDO apt-get remove -y -q --purge qvxwizard >/dev/null || true; fi
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/qvxwizard.desktop"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml >/dev/null ||
  appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml

# The completions, with bash-completion's helpers stubbed.
bash tests/tools/test_completion.sh "$unpacked/usr/share/bash-completion/completions" ||
  fail "bash completion"

echo "-- installing it"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q --no-install-recommends "./$deb" >/dev/null
installed=1
stamp=$(mktemp)
sleep 1  # the stamp is older than anything written after it
[ -x "$PROGRAM/QVXWizard" ] && [ -L /usr/bin/qvxbuild ] || fail "the program folder is missing"
qvxbuild --version | grep -q '^qvxbuild (QVXWizard) ' || fail "qvxbuild --version"
qvx-phone --help | grep -q '^Usage: qvx-phone' || fail "qvx-phone --help"
for page in QVXWizard qvxbuild qvx-phone; do
  [ -f "$unpacked/usr/share/man/man1/$page.1.gz" ] || fail "no manual page of $page"
done

# A fresh home folder for an account that owns nothing else.
home=$(mktemp -d)
$SUDO chown "$USER_NAME" "$home"
as_user() {
  $SUDO runuser -u "$USER_NAME" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG="${LANG_FOR_RUN:-C.UTF-8}" \
    "$@"
}

echo "-- walking from the sample to a phone as $USER_NAME"
(cd / && as_user qvxbuild build "$PROGRAM/samples/contacts-example.csv" "$PROGRAM/mappings/Beispielkontakte.map") ||
  fail "qvxbuild build"
as_user qvx-phone add "My phone" --free 1000000000 >/dev/null || fail "qvx-phone add"
(cd / && as_user qvxbuild send --phone "My phone" --install) || fail "qvxbuild send"

data="$home/.local/share/qvxwizard"
[ -f "$data/last.db" ] || fail "no last.db in $data"
ls "$data/phones/My phone/C/Data/Quorvex/"*.db >/dev/null 2>&1 || fail "the database did not reach the phone"
[ -f "$home/.local/state/qvxwizard/QVXWizard.l_0" ] || fail "no trace log in the state folder"
[ -f "$home/.config/qvxwizard/language.ini" ] || fail "no language choice in the config folder"
for folder in "$data" "$home/.local/state/qvxwizard" "$home/.config/qvxwizard"; do
  [ "$(stat -c %a "$folder")" = 700 ] || fail "$folder is not private"
done
# The user's choice is English here (C.UTF-8); the shared file stays as shipped.
grep -q '^language=English' "$home/.config/qvxwizard/language.ini" || fail "language choice"
cmp -s "$PROGRAM/language.ini" "$unpacked$PROGRAM/language.ini" || fail "language.ini was rewritten"

echo "-- starting the installed wizard under Xvfb"
wizard_script='
QVXWizard & pid=$!
for _ in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -Eq "\"Quorvex (Wizard|Assistent) [0-9]"; then
    if [ -n "$SHOTS" ]; then
      sleep 1
      import -window root "$SHOTS/wizard-$SHOT_NAME.png"
      if command -v xdotool >/dev/null; then
        # The CSV browse button, where it lies on this Xvfb screen and font.
        w=$(xdotool search --name "Quorvex" | head -1)
        xdotool mousemove --window "$w" 370 78 click 1
        sleep 2
        import -window root "$SHOTS/filedialog-$SHOT_NAME.png"
      fi
    fi
    kill $pid; wait $pid 2>/dev/null; exit 0
  fi
  sleep 0.1
done
kill $pid 2>/dev/null; exit 1'
shoot() {  # name LANG
  LANG_FOR_RUN=$2 as_user env SHOTS="${SHOTS:+$home}" SHOT_NAME="$1" \
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c "$wizard_script" || fail "the wizard's window did not show ($1)"
}
shoot first C.UTF-8
[ -f "$home/.local/state/qvxwizard/QVXWizard.l_0" ] || fail "no trace log of the wizard"
[ ! -e "$home/QVXWizard.l_0" ] || fail "the trace log landed in the home folder"

if [ -n "$SHOTS" ]; then
  mkdir -p "$SHOTS"
  # German for the second start: the stored choice is the user's to change.
  as_user sh -c 'printf "[currentLanguage]\nlanguage=Deutsch\n" > "$HOME/.config/qvxwizard/language.ini"'
  shoot deutsch de_DE.UTF-8
  $SUDO cp "$home"/*.png "$SHOTS"/
fi

echo "-- nothing written below /usr"
written=$(find "$PROGRAM" -newer "$stamp" 2>/dev/null || true)
[ -z "$written" ] || fail "written below /usr: $written"
owned=$(find /usr -xdev -user "$USER_NAME" 2>/dev/null | head -5 || true)
[ -z "$owned" ] || fail "files of $USER_NAME below /usr: $owned"
# Root's files go to its own XDG folders too: the program folder is marked installed.
roothome=$(mktemp -d)
(cd / && $SUDO env -i HOME="$roothome" PATH=/usr/bin:/bin LANG=C.UTF-8 qvxbuild build \
  "$PROGRAM/samples/contacts-example.csv" "$PROGRAM/mappings/Beispielkontakte.map" >/dev/null) || fail "qvxbuild as root"
$SUDO test -f "$roothome/.local/share/qvxwizard/last.db" || fail "root's last.db is not in its data folder"
$SUDO rm -rf "$roothome"
[ ! -e "$PROGRAM/last.db" ] && [ -z "$(find "$PROGRAM" -newer "$stamp")" ] || fail "root wrote into $PROGRAM"
rm -f "$stamp"

echo "-- removing it"
$SUDO apt-get remove -y -q --purge qvxwizard >/dev/null
installed=0
[ ! -e "$PROGRAM" ] || fail "$PROGRAM is left after removal"
echo "package: built, installed, walked and removed"
