#!/bin/sh
# The manual page renders with man -l without a warning and names every
# option the program's --help lists; the bash completion, put where
# bash-completion looks for a user's own, is loaded by it for "sorane" and
# offers those options.
set -eu
exe=$1 page=$2 completion=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --help >"$work/help"
options=$(grep -o -- '--[a-z][a-z-]*' "$work/help" | sort -u)
[ -n "$options" ]

MANWIDTH=80 man -l "$page" >"$work/page" 2>"$work/warnings"
if [ -s "$work/warnings" ]; then cat "$work/warnings"; exit 1; fi
grep -q '^SORANE(1)' "$work/page"
for option in $options; do
  grep -q -- "$option" "$work/page" || { echo "the manual page lacks $option"; exit 1; }
done

mkdir -p "$work/completions"
cp "$completion" "$work/completions/sorane"
BASH_COMPLETION_USER_DIR=$work bash -c '
  . /usr/share/bash-completion/bash_completion
  _completion_loader sorane
  [ "$(complete -p sorane)" = "complete -F _sorane sorane" ]
  # What is offered alone, and after each command.
  for command in "" "--add x" "--show" "--search x" "--export json out" "--remind" "--stats" "--lock"; do
    COMP_WORDS=(sorane $command --); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _sorane
    printf "%s\n" "${COMPREPLY[@]}"
  done' >"$work/offered"
for option in $options; do
  grep -qx -- "$option" "$work/offered" || { echo "the completion lacks $option"; exit 1; }
done
echo "manual page and completion: $(echo $options | wc -w) options"
