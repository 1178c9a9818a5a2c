# Sourced by the commands: picks the Windows targets this machine builds and runs.
# PAGEWREN_TARGET=i686 or PAGEWREN_TARGET=x86_64 chooses one; otherwise the machine decides.
# Each function prints its choice and the reason on stderr and the target names on stdout.

pagewren_runs_32bit() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

pagewren_chosen_target() {
  case "${PAGEWREN_TARGET:-}" in
    "") return 1 ;;
    i686 | x86_64) ;;
    *) echo "PAGEWREN_TARGET must be i686 or x86_64, not '$PAGEWREN_TARGET'" >&2; exit 2 ;;
  esac
  if [ "$PAGEWREN_TARGET" = i686 ] && ! pagewren_runs_32bit; then
    echo "PAGEWREN_TARGET=i686, but this machine cannot run 32-bit programs" >&2
    exit 2
  fi
  echo "target $PAGEWREN_TARGET: chosen by PAGEWREN_TARGET" >&2
  echo "$PAGEWREN_TARGET"
}

# The targets whose programs and tests run here: both where 32-bit programs run, so that
# neither build decays unseen.
pagewren_test_targets() {
  pagewren_chosen_target && return 0
  if pagewren_runs_32bit; then
    echo "targets i686 and x86_64: this machine runs 32-bit and 64-bit programs" >&2
    echo "i686 x86_64"
  else
    echo "target x86_64: this machine cannot run 32-bit programs (the 32-bit build is only checked)" >&2
    echo "x86_64"
  fi
}

# The one target the run command starts: the shipped 32-bit program where it can run.
pagewren_run_target() {
  pagewren_chosen_target && return 0
  if pagewren_runs_32bit; then
    echo "target i686: this machine runs 32-bit programs" >&2
    echo "i686"
  else
    echo "target x86_64: this machine cannot run 32-bit programs" >&2
    echo "x86_64"
  fi
}

# Makes folder a Wine state folder for target's programs: the folder and its arch file, which
# scripts/wine-env.sh reads to pick the prefix kind and loader.
pagewren_wine_state() {
  mkdir -p "$1"
  if [ "$2" = x86_64 ]; then echo win64; else echo win32; fi >"$1/arch"
}
