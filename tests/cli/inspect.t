Test mode on the header. An image made by create mode, given the build time of 12:00:00 UTC on
4 December 2026 (every line of test mode's dump is in the README's examples); test mode is the
default, stray arguments are ignored and a repeated mode counts once:

  $ head -c 3000 /dev/zero > zImage; SOURCE_DATE_EPOCH=1796385600 hpmimg -c -v 1.2.3 -h kernel.hpm -k zImage:2.6.1
   Warning: earliest compatibility version is set to 0(unknown).
  $ hpmimg -t -h kernel.hpm > dump
  $ hpmimg -h kernel.hpm | cmp - dump && hpmimg stray -h kernel.hpm -t -t | cmp - dump && echo same
  same

Extract mode prints no header field but the checksum line, here "Error" (status still 0):

  $ patch kernel.hpm 34 76; hpmimg -x -h kernel.hpm | head -2
   Header Checksum    = 0x76 (Error)
   --------------------

Headers that are not accepted:

  $ header > valid; seal valid
  $ head -c 34 valid > short; : > empty; truncate -s 4G huge.hpm; truncate -s 4294967295 largest.hpm
  $ for n in 0 1 2 3 4 5 6 7 8; do cp valid sig$n; patch sig$n $n 70; done
  $ for file in short empty sig? none.hpm . /dev/stdin huge.hpm largest.hpm; do
  >     cat kernel.hpm | hpmimg -x -h $file; echo "[$?]"; done
   Error: HPM image is too short.
  [1]
   Error: HPM image is too short.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: invalid HPM image header.
  [1]
   Error: stat('none.hpm') failed, No such file or directory
  [1]
   Error: HPM image file '.' is not a regular file
  [1]
   Error: HPM image file '/dev/stdin' is not a regular file
  [1]
   Error: HPM image is too large (4 GiB or more).
  [1]
   Error: invalid HPM image header.
  [1]

Test and extract mode read an image once, every byte through the digest on its way (the bytes
read counted by strace). The size is the opened file's own: an image that another takes the
place of, after the tool looked at the name and before it opened it (strace holds the opening
back), is read whole:

  $ if can_trace; then for mode in -t "-x -k k.out"; do
  >         ASAN_OPTIONS=detect_leaks=0 strace -f -qq -y -e trace=read,pread64 -o trace hpmimg $mode -h kernel.hpm > out
  >         awk '/kernel\.hpm>/ { n += $NF } END { print n + 0 }' trace; done
  >     held kernel.hpm openat 'cp valid next.hpm; mv next.hpm kernel.hpm' -t -h kernel.hpm > /dev/null; tail -1 ../out
  > else echo "skip: no strace"; fi
  3088
  3088
   MD5 Checksum       = OK
  $ rescan=/sys/bus/pci/rescan; if [ -e $rescan ]; then hpmimg -x -h $rescan
  > else echo "skip: no write-only sysfs file $rescan here"; fi
   Error: open('/sys/bus/pci/rescan', read) failed, Permission denied
  [1]

OEM data: its length must fit in the file; the header checksum byte then follows the data
and covers it too. It is verified, and only a mismatch is printed:

  $ { header; hex 4f454d; } > oem; patch oem 32 04; hpmimg -t -h oem > out; echo "[$?]"; tail -2 out
  [1]
   OEM Data Length    = 4
   Error: invalid HPM image header with OEM data.
  $ { header; hex 454d21 00; action 0 1; } > oem; patch oem 32 04; patch oem 34 4f; checksum oem 0 38; seal oem
  $ head -c 42 oem > oem-bad; patch oem-bad 38 00; seal oem-bad
  $ hpmimg -x -h oem
   --------------------
   Upgrade Action     = 0 (Backup)
   Action Components  = 0x01 ( 0 )
   Action Checksum    = 0xFF (OK)
   --------------------
   MD5 Checksum       = OK
  $ hpmimg -x -h oem-bad | head -1
   Warning: header checksum after OEM data is 0x00, expected 0x6F.

Field texts: every capability and mask bit, timeouts, names, revisions, a time past 2038:

  $ header > fields; patch fields 19 ff f1 00 01 33; hpmimg -t -h fields | sed -n '5,10p'
   Build Date         = Fri Dec  4 12:00:00 2026
   Image Capabilities = 0xFF ( PayloadAffected ManualRollback AutoRollback SelfTest )
   Components Mask    = 0xF1 ( 0 4 5 6 7 )
   Self Test Timeout  = 0 seconds
   Rollback Timeout   = 5 seconds
   No Access Timeout  = 255 seconds
  $ patch fields 9 15 5a3100 efbe ffffffff; patch fields 24 01 02 80 0a 010203ff
  $ hpmimg -t -h fields | sed -n '2,5p;11,13p'
   Target Device ID   = 0x15 (Varn-1900)
   Manufacturer ID    = 0x00315A (PICMG)
   Product ID         = 0xBEEF
   Build Date         = Sun Feb  7 06:28:15 2106
   Earliest CompatRev = 1.0.2
   Image FW Revision  = 128. .255
   Image AUX Revision = 0x01 0x02 0x03 0xFF
  $ for id in 00 03 05 06 08 16; do patch fields 9 $id; hpmimg -t -h fields | sed -n 2p; done
   Target Device ID   = 0x00 (Unknown)
   Target Device ID   = 0x03 (Varn-400)
   Target Device ID   = 0x05 (Varn-600)
   Target Device ID   = 0x06 (Varn-600XE)
   Target Device ID   = 0x08 (Tesk-800)
   Target Device ID   = 0x16 (Unknown)
  $ for maker in 000000 2a6f00 2a0000 527e0a; do patch fields 10 $maker; hpmimg -t -h fields | sed -n 3p; done
   Manufacturer ID    = 0x000000 (Unknown)
   Manufacturer ID    = 0x006F2A (NSN)
   Manufacturer ID    = 0x00002A (SUN)
   Manufacturer ID    = 0x0A7E52 (Unknown)
