#!/bin/sh
# Runs a Windows program under Wine for the build and the tests: Wine's own
# diagnostics stay quiet unless WINEDEBUG asks for them.
: "${WINEDEBUG:=-all}"
export WINEDEBUG
exec wine "$@"
