# A file system of its own for a benchmark: ext4 with a journal, on a
# loop-mounted image file (needs root and loop devices). Timings there do not
# depend on the history of the machine's root file system; without a journal,
# for one, ext4 passes over recently deleted inodes at every file creation,
# so a run pays for whatever the runs before it deleted.
#
# qv_bench_image IMAGE MOUNT SIZE: makes the image once (sparse, SIZE as for
# truncate) and mounts it at MOUNT unless it is mounted already.
qv_bench_image() {
  mkdir -p "$2"
  if ! mountpoint -q "$2"; then
    [ -f "$1" ] || { truncate -s "$3" "$1"; mkfs.ext4 -q -F "$1"; }
    mount -o loop "$1" "$2"
  fi
}

# qv_bench_image_release MOUNT: unmounts, waiting a little for processes
# that still hold files there to end.
qv_bench_image_release() {
  local _
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    umount "$1" 2>/dev/null && return 0
    sleep 0.5
  done
  echo "could not unmount $1" >&2
}
