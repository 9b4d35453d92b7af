With HPMIMG_STRICT=1 the exit status tells whether an image is sound: a damaged header, action,
data or trailer, an image cut by one byte or with five bytes appended, ends test and extract
mode with status 1 and a last line that counts the failed checks. Unset, empty or 0, every
verdict leaves the status at 0, as the dump alone tells; any other value is refused before
anything is read:

  $ head -c 3000 /dev/zero > u; seq 99999 | head -c 200000 > k; hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -u u -k k
  $ for f in header:34 action:37 data:9000 trailer:203110; do cp fw.hpm ${f%:*}; flip ${f%:*} ${f#*:}; done
  $ head -c -1 fw.hpm > cut; { cat fw.hpm; echo long; } > long
  $ for f in fw.hpm header action data trailer cut long; do printf %s "$f:"
  >     for strict in "" 0 1; do HPMIMG_STRICT=$strict hpmimg -t -h $f > out; printf ' [%s]' $?; done
  >     tail -1 out; done
  fw.hpm: [0] [0] [0] MD5 Checksum       = OK
  header: [0] [0] [1] Error: the image is damaged: 2 checks failed
  action: [0] [0] [1] Error: the image is damaged: 2 checks failed
  data: [0] [0] [1] Error: the image is damaged: 1 check failed
  trailer: [0] [0] [1] Error: the image is damaged: 1 check failed
  cut: [0] [0] [1] Error: the image is damaged: 1 check failed
  long: [0] [0] [1] Error: the image is damaged: 3 checks failed
  $ HPMIMG_STRICT=yes hpmimg -x -h missing.hpm -k k.out; echo "[$?]"
   Error: HPMIMG_STRICT='yes' is neither 0 nor 1
  [1]

Extract mode delivers all or nothing: every file waits, complete, until the trailer's verdict;
on a damaged image, a stopping signal before the verdict, or a disk full as the last (a mount
point, copied into) is put in place, none is, the old files stay, and no temporary is left. An output that is a pipe cannot wait: it gets the data as
it comes, and the status tells the verdict:

  $ truncate -s 32M r; hpmimg -c -v 1.0 -e 1.0 -h big.hpm -u u -r r; echo old > u.out
  $ left() { echo "$1 $(cmp -s u.out u && echo new || cat u.out) $(ls -A | grep -c 'hpmimg-\|[kr].out')"; }
  $ for f in data fw.hpm; do HPMIMG_STRICT=1 hpmimg -x -h $f -u u.out -k k.out > /dev/null; left "[$?]"; done
  [1] old 0
  [0] new 1
  $ rm k.out; echo old > u.out; HPMIMG_STRICT=1 signalled -x -h big.hpm -u u.out -r r.out > /dev/null &
  > busy $!; kill -INT $!; wait $!; left "[$?]"
  [3] old 0
  $ mkdir ../full; echo old > u.out; : > r.out; mounted 'mount -t tmpfs -o size=1m tmpfs ../full || exit 99
  >     echo old > ../full/r; mount --bind ../full/r r.out; HPMIMG_STRICT=1 hpmimg -x -h big.hpm -u u.out -r r.out |
  >     tail -1; cat u.out r.out; ls -A | grep -c hpmimg-'
   Error: write('r.out') failed, No space left on device
  old
  old
  0
  $ HPMIMG_STRICT=1 hpmimg -x -h data -k >(wc -c > count) > out; echo "[$?]"; wait $!; tail -1 out; cat count
  [1]
   Error: the image is damaged: 1 check failed
  200000

Waiting files are outputs of the run like any other: the tool's own descriptor of one is
refused as another component's file, and a second Upload action for a waiting component
takes its place, leaving no temporary behind also where /proc is missing, where a device is
opened by its name and checked to be the one looked at:

  $ HPMIMG_STRICT=1 hpmimg -x -h fw.hpm -u u.out -k /proc/self/fd/5 3<&- | tail -1
   Error: Kernel file '/proc/self/fd/5' is also the U-Boot file
  $ { header; upload 2 2 0 0 first 1024; head -c 1024 k; upload 2 2 0 0 again 6; echo again; } > dup.hpm
  $ seal dup.hpm; mounted 'mount -t tmpfs tmpfs /proc || exit 99
  >     HPMIMG_STRICT=1 hpmimg -x -h dup.hpm -k w > /dev/null 2>&1; echo "$(cat w) $(ls -A | grep -c hpmimg-)"
  >     hpmimg -x -h dup.hpm -k /dev/null 2> /dev/null | grep -c Save'
  again 0
  2
