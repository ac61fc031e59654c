# The lock screen with the quick actions hidden.
# Settings change what the lock screen reads when it starts; backboardd ending restarts it.
wait-for springboard ready
wait-for settings ready
settings: open Zorvi
settings: toggle hidequick
# Every Settings line has run before the restart.
settings: state
wait-for settings state
kill backboardd TERM
wait-for springboard exit
wait-for springboard ready
springboard: appear
springboard: quick-actions
springboard: tick 30
springboard: snapshot hidden-quick-actions.png
springboard: state
wait-for springboard state
