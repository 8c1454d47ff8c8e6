# Sourced by the benches: needs_built BIN-DIR PROGRAM... ends the bench with status 2 when a
# program it runs has not been built.
needs_built() {
  local bin=$1 program
  shift
  for program in "$@"; do
    [ -x "$bin/$program" ] || { echo "no $bin/$program: build first (scripts/build.sh)" >&2; exit 2; }
  done
}
