#!/usr/bin/env bash
# No library includes a header of, or links, a library in its own layer or
# above it, and command families are registered in one loop.
# Usage: layering_test.sh [SRC_DIR] (default: the tree's src/).
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/../../src" && pwd)}

# The layers, bottom first; docs/architecture.md lists the same.
declare -A layer=(
  [core]=0
  [platform]=1 [store]=1 [xml]=1 [commands]=1
  [expand]=2 [storetool]=2
  [keys]=3 [journal]=3 [runner]=3
  [text]=4 [triggers]=4 [system]=4 [net]=4
  [editors]=5 [interchange]=5
  [app]=6
)

failures=0
fail() { echo "$1"; failures=$((failures + 1)); }
# Each line read names a place that breaks the rule `$1`.
report() { while read -r where; do fail "$where: $1"; done; }

# A use of library `used` from library `lib`, reported as `where`.
check() {
  local lib=$1 used=$2 where=$3
  [[ $used == "$lib" ]] && return
  if [[ -z ${layer[$used]+x} ]]; then
    fail "$where: $used is in no layer"
  elif ((layer[$used] >= layer[$lib])); then
    fail "$where: $lib (layer ${layer[$lib]}) uses $used (layer ${layer[$used]})"
  fi
}

for dir in "$src"/*/; do
  lib=$(basename "$dir")
  [[ -n ${layer[$lib]+x} ]] || { fail "src/$lib is in no layer"; continue; }
  while IFS=: read -r file line used; do
    [[ -d $src/$used ]] && check "$lib" "$used" "${file#"$src"/}:$line"
  done < <(grep -rnoE '^#include "[a-z0-9_]+/' "$dir" --include='*.h' --include='*.cpp' |
    sed -E 's|#include "([a-z0-9_]+)/$|\1|')
  while read -r target; do
    used=${target#ks_}
    [[ $used == platform* ]] && used=platform
    check "$lib" "$used" "src/$lib/CMakeLists.txt: $target"
  done < <(grep -hoE 'ks_[a-z0-9_]+' "$dir/CMakeLists.txt" |
    grep -vxE "ks_$lib|ks_${lib}_[a-z0-9_]+" | sort -u)
done

# The upper layers take their collaborators as interfaces or references: a
# class or struct holding two or more std::function members is a bundle of
# optional hooks that every caller has to test before calling.
for lib in app editors interchange; do
  report "a bundle of std::function members" < <(find "$src/$lib" -name '*.h' -o -name '*.cpp' | sort | xargs awk -v root="$src/" '
    FNR == 1 { depth = 0; n = 0 }
    /^[[:space:]]*(class|struct)[[:space:]]+[A-Za-z_:]+[^;]*\{[[:space:]]*$/ {
      top = depth; name = FILENAME ":" FNR; n = 0; open = 1
    }
    open && depth == top + 1 && /^[[:space:]]*std::function<.*>[[:space:]]+[a-zA-Z_]+( = [^;]*)?;/ { n++ }
    { depth += gsub(/\{/, "{") - gsub(/\}/, "}") }
    open && depth <= top { if (n >= 2) { sub(root, "", name); print name }; open = 0 }
  ')
done

# The program's state lives in objects main builds and hands on by
# reference: above the platform, no variable outlives its owner as a
# function-local static or a mutable namespace-scope variable (a global
# setter's store or a singleton's instance). Constants are fine.
for lib in commands editors interchange app; do
  report "program state in a static or global variable" < <(grep -rnE '^([[:space:]]+)?(static[[:space:]]|[A-Za-z_])' "$src/$lib" --include='*.h' --include='*.cpp' |
    sed -E ':a; s/<[^<>]*>/T/; ta' |
    grep -E ':[0-9]+:([[:space:]]+static[[:space:]][^(]*|(static[[:space:]]+)?[A-Za-z_][A-Za-z0-9_:,*& ]*[[:space:]&*][A-Za-z_][A-Za-z0-9_]*([[:space:]]*=[^;]*|[[:space:]]*\{[^;]*\})?);[[:space:]]*$' |
    grep -vE ':[0-9]+:[[:space:]]*(static[[:space:]]+)?(inline[[:space:]]+)?(constexpr|const)[[:space:]]|:[0-9]+:(using|typedef|class|struct|enum|namespace|template|friend|return)[[:space:]]' |
    sed -E "s|^$src/||; s|^([^:]+:[0-9]+):.*|\\1|")
done

# Command families are registered with the dispatch in one loop in one
# place, so that no family can be left out of a second registration.
registrations=$(grep -rnE '\bdispatch_?\.add\(' "$src" --include='*.h' --include='*.cpp')
count=$(grep -c . <<<"$registrations")
if ((count != 1)); then
  fail "command families are registered in $count places, not one:${registrations:+$'\n'}$registrations"
elif ! grep -rnE -B6 '\bdispatch_?\.add\(' "$src" --include='*.cpp' | grep -qE 'for \(CommandFamily'; then
  fail "${registrations%%: *}: command families are registered outside a loop over them"
fi

((failures == 0)) || { echo "FAIL: $failures layering violation(s)"; exit 1; }
echo "layering: ok"
