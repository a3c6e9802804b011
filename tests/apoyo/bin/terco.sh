#!/bin/sh
# Stand-in for a child that will not stop: it ignores SIGTERM, and so does
# the grandchild it leaves in its process group holding the output pipes.
# With "obediente" the child itself stops at SIGTERM; the grandchild does
# not. Prints both process ids, then waits.
trap '' TERM
sleep 600 &
echo "hijo $$"
echo "nieto $!"
[ "$1" = obediente ] && trap - TERM
wait
