#!/usr/bin/env bash
# The Linux side of the file tests. "setup DIR" builds what the Wine tests work on (including a
# directory symbolic link, which a Windows program cannot make here); "check DIR" looks at what
# they left behind, from outside Wine.
set -euo pipefail
mode=$1
dir=$2
fail() { echo "file check failed: $*" >&2; exit 1; }

case "$mode" in
  setup)
    rm -rf "$dir"
    mkdir -p "$dir/tree/sub/deeper" "$dir/linked-tree/sub" "$dir/outside/inner" "$dir/readonly-tree/sub"
    echo a > "$dir/tree/a.txt"
    echo b > "$dir/tree/sub/b.txt"
    echo c > "$dir/tree/sub/deeper/c.txt"
    echo "must survive" > "$dir/outside/keep.txt"
    echo "must survive" > "$dir/outside/inner/keep.txt"
    echo l > "$dir/linked-tree/sub/l.txt"
    ln -s "$dir/outside" "$dir/linked-tree/link-to-outside"
    echo r > "$dir/readonly-tree/sub/r.txt"
    head -c 3000 /dev/zero | tr '\0' 'x' > "$dir/text3000.txt"
    printf 'one\r\ntwo\r\nthree\x1alost' > "$dir/crlf.txt"
    printf 'notes' > "$dir/notes.txt"
    truncate -s 5G "$dir/big.bin"  # sparse: 5 GiB on paper, nothing on disk
    # A file whose name alone is 240 characters: its full path passes 260.
    echo far > "$dir/$(printf 'w%.0s' $(seq 236)).txt"
    ;;
  check)
    [ -f "$dir/outside/keep.txt" ] && [ -f "$dir/outside/inner/keep.txt" ] ||
      fail "a file behind a directory link was removed"
    [ -d "$dir/tree" ] || fail "RemoveDirectory_zk removed the named directory itself"
    [ -z "$(ls -A "$dir/tree")" ] || fail "RemoveDirectory_zk left entries: $(ls -A "$dir/tree")"
    [ -f "$dir/readonly-tree/sub/r.txt" ] || fail "the read-only file was deleted"
    [ -d "$dir/made/x/y" ] || fail "CheckDirectory_zk did not create made/x/y"
    [ ! -e "$dir/made/x/y/z" ] || fail "CheckDirectory_zk created the last level"
    [ -d "$dir/made-slashes/x/y" ] || fail "CheckDirectory_zk did not take forward slashes"
    [ "$(cat "$dir/copy-target.txt")" = "notes" ] || fail "CopyFile_zk did not overwrite"
    [ -f "$dir/moved.txt" ] && [ ! -e "$dir/to-move.txt" ] || fail "MoveFile_zk did not move"
    echo "file checks passed"
    ;;
  *)
    echo "usage: $0 setup|check DIR" >&2
    exit 2
    ;;
esac
