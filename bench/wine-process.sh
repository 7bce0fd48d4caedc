# Sourced by the benchmarks that read a Wine program's CPU from the Linux process table (Wine's
# GetProcessTimes on another process answers with the caller's own times).

# linux_pid <exe name> [<folder name>]: the Wine process running the executable (from that folder,
# when given). Its comm is the executable's name cut to 15 characters and its command line ends
# with the executable's Windows path, padded with spaces; the wrapper scripts that start it name
# the path too, but their comm is the shell's.
linux_pid() {
  local p comm="${1:0:15}" tail="[\\\\/]$1 *\$"
  [[ -n "${2:-}" ]] && tail="[\\\\/]$2$tail"
  for p in /proc/[0-9]*; do
    [[ "$(cat "$p/comm" 2>/dev/null)" == "$comm" ]] || continue
    if tr '\0' '\n' < "$p/cmdline" 2>/dev/null | grep -q "$tail"; then
      echo "${p#/proc/}"
      return 0
    fi
  done
  return 1
}

# cpu_ticks <pid>: user and system time so far, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# alternate_rounds <rounds>: calls the script's measure 0 and measure 1 in turn, rounds times (so
# both share the machine's load), and prints their average shares of a core, space separated.
alternate_rounds() {
  local -a total=(0 0)
  local round variant cores
  for ((round = 0; round < $1; ++round)); do
    for variant in 0 1; do
      cores="$(measure "$variant")" || return 1
      total[variant]="$(awk -v a="${total[variant]}" -v b="$cores" 'BEGIN { print a + b }')"
    done
  done
  awk -v a="${total[0]}" -v b="${total[1]}" -v n="$1" 'BEGIN { printf "%.4f %.4f", a / n, b / n }'
}

# cores_used <pid> <seconds>: the share of one core the process used over the next seconds.
cores_used() {
  local start end hz
  hz="$(getconf CLK_TCK)"
  start="$(cpu_ticks "$1")"
  sleep "$2"
  end="$(cpu_ticks "$1")"
  awk -v t="$((end - start))" -v hz="$hz" -v s="$2" 'BEGIN { printf "%.4f", t / hz / s }'
}
