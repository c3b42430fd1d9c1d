#!/bin/sh
# The card's init, last step of every boot once the peers run (inside the
# card's namespaces, as the process that becomes main): starts the card
# process with its environment.
#   bench-init.sh MAIN [NAME=VALUE]...
# MAIN is the load to run: the build's main. Choosing another load (from
# /flash, which survives reboots) belongs here, before the exec.
main="$1"
shift
exec env "$@" "$main"
