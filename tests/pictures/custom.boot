# The lock screen with three custom wave colours.
# Settings change what the lock screen reads when it starts; backboardd ending restarts it.
wait-for springboard ready
wait-for settings ready
settings: open Zorvi
settings: toggle enablecustom
settings: open Colours
settings: set line1 FFFF3B30
settings: set line2 FF34C759
settings: set line3 FF0A84FF
# Every Settings line has run before the restart.
settings: state
wait-for settings state
kill backboardd TERM
wait-for springboard exit
wait-for springboard ready
springboard: appear
springboard: quick-actions
springboard: tick 30
springboard: snapshot custom.png
springboard: state
wait-for springboard state
