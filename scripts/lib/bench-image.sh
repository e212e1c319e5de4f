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
    # Direct I/O to the image file: what the image's file system writes back
    # does not sit a second time in the page cache of the file system below.
    local device
    device=$(losetup -f --show --direct-io=on "$1")
    mount "$device" "$2" || { losetup -d "$device"; return 1; }
  fi
}

# qv_bench_image_release MOUNT: unmounts and lets the loop device go,
# waiting a little for processes that still hold files there to end.
qv_bench_image_release() {
  local device _
  device=$(findmnt -n -o SOURCE "$1" 2>/dev/null || true)
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    if umount "$1" 2>/dev/null; then
      case $device in /dev/loop*) losetup -d "$device" 2>/dev/null || true ;; esac
      return 0
    fi
    sleep 0.5
  done
  echo "could not unmount $1" >&2
}
