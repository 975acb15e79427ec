#!/usr/bin/env bash
# ShellCheck at warning level over every script of scripts/ and .ci/run; and, so that a silent
# ShellCheck cannot pass, over a script with a known fault, which it must refuse.
#   shellcheck_test.sh ROOT WORK
set -uo pipefail
ROOT=$1 WORK=$2
mkdir -p "$WORK"
failures=0
if ! shellcheck -S warning "$ROOT"/scripts/*.sh "$ROOT/.ci/run"; then
  echo "FAILED: ShellCheck found the above"
  failures=$((failures + 1))
fi
printf '#!/usr/bin/env bash\nfor f in $(ls *.txt); do cat $f; done\ncd $1\n' >"$WORK/faulty.sh"
if shellcheck -S warning "$WORK/faulty.sh" >/dev/null; then
  echo "FAILED: ShellCheck passed a script with an unquoted cd and a loop over ls"
  failures=$((failures + 1))
fi
echo "$((2 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
