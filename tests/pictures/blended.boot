# The lock screen with the waves in the wallpaper's colours.
# Settings change what the lock screen reads when it starts; backboardd ending restarts it.
wait-for springboard ready
wait-for settings ready
settings: open Zorvi
settings: toggle enableblend
# Every Settings line has run before the restart.
settings: state
wait-for settings state
kill backboardd TERM
wait-for springboard exit
wait-for springboard ready
springboard: appear
springboard: quick-actions
springboard: tick 30
springboard: snapshot blended.png
springboard: state
wait-for springboard state
