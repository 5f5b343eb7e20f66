#!/usr/bin/env bash
# The bash completions of qvxbuild and qvx-phone, with bash-completion's
# helpers stubbed: test_completion.sh COMPLETIONS_DIR [PROGRAM_DIR]. With the
# folder of a built qvx-phone, phone names are completed from phones made in
# a temporary folder, names with spaces among them.
set -uo pipefail
completions=$1
programs=${2:-}

_init_completion() {
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} cword=$COMP_CWORD
    words=("${COMP_WORDS[@]}")
}
_filedir() { COMPREPLY=(FILES); }
compopt() { :; }
failed=0
expect() { # function expected-words-joined-by-| words...
    local f=$1 want=$2 got
    shift 2
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    "$f"
    got=$(
        IFS='|'
        echo "${COMPREPLY[*]}"
    )
    if [ "$got" != "$want" ]; then
        echo "completion of $*: '$got', not '$want'" >&2
        failed=1
    fi
}

source "$completions/qvxbuild"
source "$completions/qvx-phone"
expect _qvxbuild build qvxbuild b
expect _qvxbuild Deutsch qvxbuild build --language D
expect _qvxbuild FILES qvxbuild build ""
expect _qvxbuild FILES qvxbuild build a.csv a.map ""
expect _qvxbuild "--map|--json" qvxbuild analyze x.csv -
expect _qvxbuild "--limit|--json" qvxbuild preview x.csv -
expect _qvxbuild "--out|--json" qvxbuild map x.csv -
expect _qvx_phone add qvx-phone --phones /tmp a
expect _qvx_phone "--install-fails|--installed" qvx-phone add NAME --inst

if [ -n "$programs" ]; then
    export QVX_PHONES_DIR
    QVX_PHONES_DIR=$(mktemp -d)
    trap 'rm -rf "$QVX_PHONES_DIR"' EXIT
    PATH="$programs:$PATH"
    for name in "My Phone" "My Other" Solo "it's \$HOME"; do
        qvx-phone add "$name" >/dev/null || {
            echo "qvx-phone add $name failed" >&2
            exit 1
        }
    done
    # Names come whole, as the word was begun: plain, escaped or quoted.
    expect _qvx_phone "My Other|My Phone" qvx-phone remove My
    expect _qvx_phone "My Phone" qvx-phone remove 'My\ P'
    expect _qvx_phone "My Phone" qvx-phone remove '"My P'
    expect _qvx_phone "My Phone" qvx-phone remove "'My P"
    expect _qvx_phone "it's \$HOME" qvx-phone remove 'it\'
    expect _qvx_phone "" qvx-phone remove Nobody
    expect _qvxbuild "My Other" qvxbuild send --phone 'My\ O'
    expect _qvxbuild "Solo" qvxbuild send --phone S
fi
exit $failed
