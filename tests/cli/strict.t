With HPMIMG_STRICT=1 the exit status tells whether an image is sound: a damaged header, action,
data or trailer, an image cut by one byte or with five bytes appended, ends test and extract
mode with status 1 and a last line that counts the failed checks. Unset, empty or 0, every
verdict leaves the status at 0, as the dump alone tells; any other value is refused before
the options are read:

  $ head -c 3000 /dev/zero > u; seq 99999 | head -c 200000 > k; hpmimg $c fw.hpm -u u -k k
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
  $ HPMIMG_STRICT=yes hpmimg -x -h; echo "[$?]"
   Error: HPMIMG_STRICT='yes' is neither 0 nor 1
  [1]

Extract mode delivers all or nothing: every file waits, complete, until the trailer's verdict;
on a damaged image, a stopping signal before the verdict, or a disk full as the last (a mount
point, copied into) is put in place, none is, the old files stay, a new one is gone again
(with /proc or without), and no temporary is left.
The "Save Component to" lines follow the MD5 line once the files are in place; none is
printed otherwise. An output that is a pipe cannot wait: it gets the data as it comes, the
status tells the verdict, and so does its line:

  $ truncate -s 32M r; hpmimg $c big.hpm -u u -r r; echo old > u.out
  $ left() { echo "$1 $(cmp -s u.out u && echo new || cat u.out) $(ls -A | grep -c 'hpmimg-\|[kr].out')"; }
  $ for f in data fw.hpm; do HPMIMG_STRICT=1 hpmimg -x -h $f -k k.out -u u.out > out; left "[$?]"
  >     grep -A2 MD5 out; done
  [1] old 0
   MD5 Checksum       = Error
   Error: the image is damaged: 1 check failed
  [0] new 1
   MD5 Checksum       = OK
   Save Component to  = u.out
   Save Component to  = k.out
  $ rm k.out; echo old > u.out; HPMIMG_STRICT=1 signalled -x -h big.hpm -u u.out -r r.out > /dev/null &
  > busy $!; kill -INT $!; wait $!; left "[$?]"
  [3] old 0
  $ mkdir ../full; echo old > u.out; : > r.out; mounted 'mount -t tmpfs -o size=1m tmpfs ../full || exit 99
  >     echo old > ../full/r; mount --bind ../full/r r.out; for proc in shown hidden; do
  >     HPMIMG_STRICT=1 hpmimg -x -h big.hpm -u u.out -r r.out 2> /dev/null | tail -1; cat u.out r.out
  >     HPMIMG_STRICT=1 hpmimg -x -h big.hpm -u u.new -r r.out > /dev/null 2>&1
  >     echo "$proc: $(ls -A | grep -c "hpmimg-\|u.new")"; mount -t tmpfs tmpfs /proc; done'
   Error: write('r.out') failed, No space left on device
  old
  old
  shown: 0
   Error: write('r.out') failed, No space left on device
  old
  old
  hidden: 0
  $ for f in data fw.hpm; do HPMIMG_STRICT=1 hpmimg -x -h $f -k /dev/fd/3 3>&1 > out | wc -c
  >     echo "[${PIPESTATUS[0]}]"; tail -1 out; done
  200000
  [1]
   Error: the image is damaged: 1 check failed
  200000
  [0]
   Save Component to  = /dev/fd/3

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

With HPMIMG_STRICT=1 the command line is read strictly too: what the default takes and quietly
alters is refused, before anything is read or written. Each row: the arguments after
`hpmimg -c -v 1.0 -e 1.0 -h r.hpm`, the default's status and, for an image made, the Upload
record's revision bytes (major, minor, aux) and the revisions the dump prints back; under it
strict mode's, where it differs. The first rows are the revisions both take:

  $ printf K > k; pack() { out=$(export HPMIMG_STRICT=$1; eval "hpmimg $c r.hpm $2"); status=$?
  >     [ ! -e r.hpm ] || out=" $(bytes r.hpm 41 6) = $(hpmimg -h r.hpm | sed -n 's/.*FW Revision *= //p' | xargs)"
  >     rm -f r.hpm; echo "[$status]$out"; }
  $ for args in k:1.2.3 k:1.2 k:1.2.9 k:1.2.10 k:1.2.15 k:1.0.12 k:3.10.4 k:128.10.255 k:0.0 k:01.02.003 \
  >     k:1.2.3rc k:1.2.3.4 k:1.2-rc1 k:+1.2 "'k: 2. 6.1'" "'k:1.2 '" k:-4294967295.1 "k:''" "'k:   '" k:7 \
  >     k:abc k:1. k:.5 k:1.x k:129.0 k:1.11 k:1.2.256 k:4294967296.0 k:99999999999999999999.1 k:-1.0 k:1.-1 \
  >     "k 1.0" k "k:1.0 -k k" "k:1.0 -v 2.0.0.1" "k:1.0 -e +1.0" "k:1.0 -u k -u k:1.0"; do
  >     default=$(pack 0 "-k $args"); strict=$(pack 1 "-k $args"); printf '%-24s%s\n' "-k $args" "$default"
  >     [ "$strict" = "$default" ] || echo "$strict"; done
  -k k:1.2.3              [0] 01 23 00 00 00 00 = 1.0.0 1.2.3
  -k k:1.2                [0] 01 20 00 00 00 00 = 1.0.0 1.2.0
  -k k:1.2.9              [0] 01 29 00 00 00 00 = 1.0.0 1.2.9
  -k k:1.2.10             [0] 01 02 00 00 00 0a = 1.0.0 1.2.10
  -k k:1.2.15             [0] 01 02 00 00 00 0f = 1.0.0 1.2.15
  -k k:1.0.12             [0] 01 00 00 00 00 0c = 1.0.0 1.0.12
  -k k:3.10.4             [0] 03 a4 00 00 00 00 = 1.0.0 3. .4
  -k k:128.10.255         [0] 80 0a 00 00 00 ff = 1.0.0 128. .255
  -k k:0.0                [0] 00 00 00 00 00 00 = 1.0.0 0.0.0
  -k k:01.02.003          [0] 01 23 00 00 00 00 = 1.0.0 1.2.3
  -k k:1.2.3rc            [0] 01 23 00 00 00 00 = 1.0.0 1.2.3
  [1] hpmimg: -k 'k:1.2.3rc': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:1.2.3.4            [0] 01 23 00 00 00 00 = 1.0.0 1.2.3
  [1] hpmimg: -k 'k:1.2.3.4': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:1.2-rc1            [0] 01 20 00 00 00 00 = 1.0.0 1.2.0
  [1] hpmimg: -k 'k:1.2-rc1': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:+1.2               [0] 01 20 00 00 00 00 = 1.0.0 1.2.0
  [1] hpmimg: -k 'k:+1.2': FW revision has text before or after its numbers, expected something like 1.2.3
  -k 'k: 2. 6.1'          [0] 02 61 00 00 00 00 = 1.0.0 2.6.1
  [1] hpmimg: -k 'k: 2. 6.1': FW revision has text before or after its numbers, expected something like 1.2.3
  -k 'k:1.2 '             [0] 01 20 00 00 00 00 = 1.0.0 1.2.0
  [1] hpmimg: -k 'k:1.2 ': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:-4294967295.1      [0] 01 10 00 00 00 00 = 1.0.0 1.1.0
  [1] hpmimg: -k 'k:-4294967295.1': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:''                 [1] hpmimg: invalid FW revision, expected something like 1.2.3
  [1] hpmimg: -k 'k:': invalid FW revision, expected something like 1.2.3
  -k 'k:   '              [1] hpmimg: invalid FW revision, expected something like 1.2.3
  [1] hpmimg: -k 'k:   ': invalid FW revision, expected something like 1.2.3
  -k k:7                  [1] hpmimg: FW revision is too short, expected something like 1.2.3
  [1] hpmimg: -k 'k:7': FW revision is too short, expected something like 1.2.3
  -k k:abc                [1] hpmimg: FW revision is too short, expected something like 1.2.3
  [1] hpmimg: -k 'k:abc': FW revision is too short, expected something like 1.2.3
  -k k:1.                 [1] hpmimg: FW revision is too short, expected something like 1.2.3
  [1] hpmimg: -k 'k:1.': FW revision is too short, expected something like 1.2.3
  -k k:.5                 [1] hpmimg: FW revision is too short, expected something like 1.2.3
  [1] hpmimg: -k 'k:.5': FW revision is too short, expected something like 1.2.3
  -k k:1.x                [1] hpmimg: FW revision is too short, expected something like 1.2.3
  [1] hpmimg: -k 'k:1.x': FW revision is too short, expected something like 1.2.3
  -k k:129.0              [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:129.0': FW revision is out of supported BCD+ range (major 0 to 128, minor 0 to 10, patch 0 to 255)
  -k k:1.11               [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:1.11': FW revision is out of supported BCD+ range (major 0 to 128, minor 0 to 10, patch 0 to 255)
  -k k:1.2.256            [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:1.2.256': FW revision is out of supported BCD+ range (major 0 to 128, minor 0 to 10, patch 0 to 255)
  -k k:4294967296.0       [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:4294967296.0': FW revision is out of supported BCD+ range (major 0 to 128, minor 0 to 10, patch 0 to 255)
  -k k:99999999999999999999.1[1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:99999999999999999999.1': FW revision is out of supported BCD+ range (major 0 to 128, minor 0 to 10, patch 0 to 255)
  -k k:-1.0               [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:-1.0': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:1.-1               [1] hpmimg: FW revision is out of supported BCD+ range
  [1] hpmimg: -k 'k:1.-1': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k 1.0                [0] 00 00 00 00 00 00 = 1.0.0 0.0.0
  [1] hpmimg: '1.0': neither an option nor the argument of one
  -k k                    [0] 00 00 00 00 00 00 = 1.0.0 0.0.0
  [1] hpmimg: -k 'k': no revision after the file name, expected file:revision
  -k k:1.0 -k k           [0] 01 00 00 00 00 00 = 1.0.0 1.0.0
  [1] hpmimg: -k 'k': no revision after the file name, expected file:revision
  -k k:1.0 -v 2.0.0.1     [0] 01 00 00 00 00 00 = 2.0.0 1.0.0
  [1] hpmimg: -v '2.0.0.1': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:1.0 -e +1.0        [0] 01 00 00 00 00 00 = 1.0.0 1.0.0
  [1] hpmimg: -e '+1.0': FW revision has text before or after its numbers, expected something like 1.2.3
  -k k:1.0 -u k -u k:1.0  [0] 01 00 00 00 00 00 = 1.0.0 1.0.0 1.0.0
  [1] hpmimg: -u 'k': no revision after the file name, expected file:revision

Bytes that no revision given packs to, as an image made elsewhere may hold them: each row is
the minor byte and the four AUX bytes written into the Upload record, and what the dump prints
of them (the AUX byte counts only where the high digit is 0):

  $ hpmimg $c r.hpm -k k; for b in ff01020300 05000000ff 2300000005 bc00000000 de00000000; do
  >     patch r.hpm 42 $b; echo "$b$(hpmimg -h r.hpm | grep -A1 'n FW' | cut -d= -f2 | tr -d '\n')"; done
  ff01020300 0._._ 0x01 0x02 0x03 0x00
  05000000ff 0.5.255 0x00 0x00 0x00 0xFF
  2300000005 0.2.3 0x00 0x00 0x00 0x05
  bc00000000 0.-.. 0x00 0x00 0x00 0x00
  de00000000 0.:., 0x00 0x00 0x00 0x00
