# Sourced by the scripts that show the demonstration home.
#
# hold_live_rollouts LIST: keeps every rollout file that LIST names open in a process of its
# own, as a running Codex does (a chat shows as processing only while a process has its
# rollout file open), until the caller's EXIT trap kills the processes listed in `holders`.
holders=()
hold_live_rollouts() {
  local rollout
  while IFS= read -r rollout; do
    [ -n "$rollout" ] || continue
    sleep infinity 3>>"$rollout" &
    holders+=("$!")
  done < "$1"
}
