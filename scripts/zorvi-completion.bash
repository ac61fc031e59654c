# bash completion for zorvi: its commands, their verbs and options, files where a file goes. The
# words come from zorvi's own help, so they are always the ones the installed zorvi takes.
_zorvi_words() {
  # The names listed under a help's "Commands:" or "Verbs:", then (below the program itself) every
  # --option it names.
  "$@" --help 2>/dev/null | awk '/^(Commands|Verbs):$/ {listing = 1; next} /^$/ {listing = 0}
    listing && $1 !~ /^-/ {print $1}'
  if [ $# -gt 1 ]; then "$@" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u; fi
}

_zorvi() {
  local current="${COMP_WORDS[COMP_CWORD]}" previous="${COMP_WORDS[COMP_CWORD-1]}"
  local zorvi="${COMP_WORDS[0]}"
  case "$previous" in
    --root|--out|--report) COMPREPLY=($(compgen -d -- "$current")); return ;;
    --script|--trace|--record|--safe-mode|--matrix|--junit) COMPREPLY=($(compgen -f -- "$current")); return ;;
    --screen) COMPREPLY=($(compgen -W "375x812@3 375x667@2 414x896@2 390x844@3" -- "$current")); return ;;
    --system) COMPREPLY=($(compgen -W "12.4 13.0 14.4" -- "$current")); return ;;
  esac
  # The command words typed so far (options and their values left out).
  local words=() i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case "${COMP_WORDS[i]}" in -*) continue ;; esac
    words+=("${COMP_WORDS[i]}")
  done
  if [ ${#words[@]} -gt 2 ]; then words=("${words[@]:0:2}"); fi
  local choices
  choices="$(_zorvi_words "$zorvi" "${words[@]}") --help"
  if [ ${#words[@]} -eq 0 ]; then choices="$choices --version"; fi
  COMPREPLY=($(compgen -W "$choices" -- "$current"))
  if [ ${#COMPREPLY[@]} -eq 0 ]; then COMPREPLY=($(compgen -f -- "$current")); fi
}
complete -F _zorvi zorvi
