# bash completion for zorvi: commands, their subcommands and options, files where a file goes.
_zorvi() {
  local current="${COMP_WORDS[COMP_CWORD]}" previous="${COMP_WORDS[COMP_CWORD-1]}"
  local commands="device log springboard boot respring settings defaults wallpaper waves record test matrix help"
  if [ "$COMP_CWORD" -eq 1 ]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$current"))
    return
  fi
  case "$previous" in
    --root|--out) COMPREPLY=($(compgen -d -- "$current")); return ;;
    --script|--trace|--record|--safe-mode|--matrix|--junit) COMPREPLY=($(compgen -f -- "$current")); return ;;
    --report) COMPREPLY=($(compgen -d -- "$current")); return ;;
    --screen) COMPREPLY=($(compgen -W "375x812@3 375x667@2 414x896@2 390x844@3" -- "$current")); return ;;
    --system) COMPREPLY=($(compgen -W "12.4 13.0 14.4" -- "$current")); return ;;
  esac
  local options=""
  case "${COMP_WORDS[1]}" in
    device) options="create update list erase --root --system --screen --force" ;;
    springboard) options="--root --headless --script --trace --record --with-class --safe-mode --date" ;;
    settings|boot) options="--root --headless --script --trace --record" ;;
    defaults) options="read write delete --root -bool -int -float -string" ;;
    wallpaper) options="set export average --root" ;;
    waves) options="--screen --frames --out" ;;
    record) options="--root --system --screen" ;;
    test) options="--matrix --system --screen --update --jobs --tolerance --junit --report" ;;
    matrix) options="--system --screen" ;;
    log) options="--root --follow" ;;
    respring) options="--root" ;;
    help) options="$commands" ;;
  esac
  COMPREPLY=($(compgen -W "$options --help" -- "$current"))
  if [ ${#COMPREPLY[@]} -eq 0 ]; then COMPREPLY=($(compgen -f -- "$current")); fi
}
complete -F _zorvi zorvi
