#!/bin/sh
# Stand-in process tree for the tree-stop tests: `arbol.sh N` writes its id
# to the file $ARBOL_PIDS, starts `arbol.sh N-1` (while N > 1) and a sleep,
# both in the background, and waits for them: N shells and N sleeps in all,
# each shell the parent of the next.
echo $$ >> "$ARBOL_PIDS"
if [ "$1" -gt 1 ]; then "$0" $(($1 - 1)) & fi
sleep 1000 &
wait
