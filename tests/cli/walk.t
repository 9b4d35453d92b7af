The action walk, extraction and the trailer check. Four components of 1, 0, 3 MiB + 5 and
1024 bytes (the first and the last bytes of `seq 500000`: the same bytes in every run, and no
stretch of them repeats) go in with create mode and come back out unchanged (the dump of such
an image is in the README's examples; revisions are in strict.t):

  $ printf U > u.bin; : > k.bin; seq 500000 > lines; head -c 3145733 lines > r.bin; tail -c 1024 lines > a.bin
  $ hpmimg $c four.hpm -u u.bin -k k.bin -r r.bin -a a.bin
  $ hpmimg -x -h four.hpm -u u.out -k k.out -r r.out -a a.out | grep Save
   Save Component to  = u.out
   Save Component to  = k.out
   Save Component to  = r.out
   Save Component to  = a.out
  $ for c in u k r a; do cmp $c.bin $c.out || echo "$c differs"; done; rm *.out

The MD5 line checks the trailer against md5sum's digest of every byte before it, for every
length modulo MD5's 64-byte block, in one to three blocks (a header and 0 to 130 bytes that
walk as Reserved actions, read in pieces of 3):

  $ for n in $(seq 0 130); do { header; head -c $n lines; } > m; seal m; hpmimg -x -h m | tail -1; done | uniq -c
      131  MD5 Checksum       = OK

One changed byte shows in its own verdict and in the MD5 line, and nowhere else; the
status stays 0. Bytes changed: RFS data, a header timeout, the Prepare checksum, the first
Upload's checksum, the trailer:

  $ for offset in 1141 22 37 40 3146947; do cp four.hpm bad.hpm; flip bad.hpm $offset
  >     hpmimg -t -h bad.hpm | grep -o '(OK)\|(Error)\|= OK\|= Error' | tr '\n' ' '; echo "[$?]"; done
  (OK) (OK) (OK) (OK) (OK) (OK) = Error [0]
  (Error) (OK) (OK) (OK) (OK) (OK) = Error [0]
  (OK) (Error) (OK) (OK) (OK) (OK) = Error [0]
  (OK) (OK) (Error) (OK) (OK) (OK) = Error [0]
  (OK) (OK) (OK) (OK) (OK) (OK) = Error [0]

Hand-made walks, in extract mode with no names: no actions, 35 to 50 bytes (the trailer
check overlaps the header), Backup and Reserved actions, cut-short action records, and data
running into the trailer, which ends the walk quietly:

  $ walk() { hpmimg -x -h "$1" | tail -n +2; }
  $ header > none; seal none; header > h35; { header; head -c 15 /dev/zero; } > h50
  $ for f in none h35 h50; do walk $f; done
   --------------------
   MD5 Checksum       = OK
   --------------------
   MD5 Checksum       = Error
   --------------------
   MD5 Checksum       = Error
  $ { header; action 0 1; action 3 0xf0; } > other; seal other; walk other
   --------------------
   Upgrade Action     = 0 (Backup)
   Action Components  = 0x01 ( 0 )
   Action Checksum    = 0xFF (OK)
   --------------------
   Upgrade Action     = 3 (Reserved)
   Action Components  = 0xF0 ( 4 5 6 7 )
   Action Checksum    = 0x0D (OK)
   --------------------
   MD5 Checksum       = OK
  $ { header; action 0 1; hex 0101; } > cut; seal cut; walk cut | sed -n '5,$p'
   Warning: dropping invalid action header.
   --------------------
   MD5 Checksum       = OK
  $ { header; upload 2 0 0 0 k 0 | head -c 33; } > cut; seal cut; walk cut
   --------------------
   Upgrade Action     = 2 (Upload)
   Action Components  = 0x02 ( 1 )
   Action Checksum    = 0xFC (OK)
   Warning: dropping invalid upload action header.
   --------------------
   MD5 Checksum       = OK
  $ { header; upload 4 0 0 0 twenty-one-characters 20; hex 00112233445566778899; } > into; seal into; walk into
   --------------------
   Upgrade Action     = 2 (Upload)
   Action Components  = 0x04 ( 2 )
   Action Checksum    = 0xFA (OK)
   Action FW Revision = 0.0.0
   Action AUX Revision= 0x00 0x00 0x00 0x00
   Action Description = twenty-one-characters
   Action Data Length = 20
   --------------------
   MD5 Checksum       = OK

A length past the end of the image ends the run with the read error; one of 2 GiB or more
cannot be a length at all. Either way nothing is extracted:

  $ for length in 1200 2147483647 2147483648 4294967295; do
  >     { header; upload 1 0 0 0 u $length; head -c 1100 /dev/zero; } > long; seal long
  >     hpmimg -x -h long -u u.out | tail -1; echo "[${PIPESTATUS[0]}] $(ls u.out 2>&1)"; rm -f u.out; done
   Error: input file fread(offset=1024) failed, unexpected end of file
  [1] ls: cannot access 'u.out': No such file or directory
   Error: input file fread(offset=1024) failed, unexpected end of file
  [1] ls: cannot access 'u.out': No such file or directory
   Error: upload data length 2147483648 is 2 GiB or more, the image is damaged.
  [1] ls: cannot access 'u.out': No such file or directory
   Error: upload data length 4294967295 is 2 GiB or more, the image is damaged.
  [1] ls: cannot access 'u.out': No such file or directory

Extraction follows the first named component bit of each action; a second U-Boot upload
overwrites the first; unnamed components are read through:

  $ { header; upload 1 0 0 0 first 5; printf 11111; upload 6 0 0 0 both 3; printf 222
  >   upload 8 0 0 0 app 2; printf 33; upload 1 0 0 0 second 4; printf 4444; } > multi; seal multi
  $ hpmimg -x -h multi -u u.out -r r.out -k k.out | grep -e Save -e MD5; cat u.out k.out; ls r.out
   Save Component to  = u.out
   Save Component to  = k.out
   Save Component to  = u.out
   MD5 Checksum       = OK
  4444222ls: cannot access 'r.out': No such file or directory
  [2]
  $ hpmimg -x -h multi -a a.out | grep Save; cat a.out
   Save Component to  = a.out
  33 (no-eol)

An output that cannot be written ends the run; what was extracted before stays:

  $ rm u.out; hpmimg -x -h multi -u u.out -k no/such/dir | tail -1; cat u.out
   Error: open('no/such/dir', write) failed, No such file or directory
  11111 (no-eol)
