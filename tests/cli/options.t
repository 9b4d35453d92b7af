Options, revisions and modes. The usage text, for no arguments, no image, a missing argument
(getopt's answer to an unknown option too) or more than one mode:

  $ hpmimg
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  	[-u <uboot_file:rev>] [-k <kernel_file:rev>] \
  	[-r <rfs_file:rev>] [-a <app_file:rev>]
  [2]
  $ for args in "-t" "-x -u boot.bin" "-h ''" "-c -t -h img" "-t -x -h img" "-c -x -h img" \
  >     "-c -t -x -h img"; do eval hpmimg $args | head -1; echo "${PIPESTATUS[0]}"; done
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
  $ hpmimg -t -h | head -1; echo "[${PIPESTATUS[0]}]"
  hpmimg: option requires an argument -- 'h'
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  [2]

Standard output that cannot be written is an error; a run that already failed keeps its
status:

  $ hpmimg -t -x -h img > /dev/full
  hpmimg: standard output: No space left on device
  [2]

Revisions are checked as they are read, in every mode, before any mode check:

  $ for rev in "" "   " 7 abc 1. .5 1.x 129.0 1.11 1.2.256 -1.0 1.-1 4294967296.0 \
  >     99999999999999999999.1 -99999999999.1 -4294967295.1; do
  >     out=$(hpmimg -t -v "$rev" -h img); echo "[$?] '$rev'$out"; done
  [1] '' hpmimg: invalid FW revision, expected something like 1.2.3
  [1] '   ' hpmimg: invalid FW revision, expected something like 1.2.3
  [1] '7' hpmimg: FW revision is too short, expected something like 1.2.3
  [1] 'abc' hpmimg: FW revision is too short, expected something like 1.2.3
  [1] '1.' hpmimg: FW revision is too short, expected something like 1.2.3
  [1] '.5' hpmimg: FW revision is too short, expected something like 1.2.3
  [1] '1.x' hpmimg: FW revision is too short, expected something like 1.2.3
  [1] '129.0' hpmimg: FW revision is out of supported BCD+ range
  [1] '1.11' hpmimg: FW revision is out of supported BCD+ range
  [1] '1.2.256' hpmimg: FW revision is out of supported BCD+ range
  [1] '-1.0' hpmimg: FW revision is out of supported BCD+ range
  [1] '1.-1' hpmimg: FW revision is out of supported BCD+ range
  [1] '4294967296.0' hpmimg: FW revision is out of supported BCD+ range
  [1] '99999999999999999999.1' hpmimg: FW revision is out of supported BCD+ range
  [1] '-99999999999.1' hpmimg: FW revision is out of supported BCD+ range
  [1] '-4294967295.1' Error: stat('img') failed, No such file or directory
  $ for args in "-x -e 7 -h img" "-c -t -v 1.2 -r rfs:9" "-k zImage: -h img" "-u boot.bin:1.2.256 -h img"; do
  >     hpmimg $args; echo "[$?]"; done
   hpmimg: FW revision is too short, expected something like 1.2.3
  [1]
   hpmimg: FW revision is too short, expected something like 1.2.3
  [1]
   hpmimg: invalid FW revision, expected something like 1.2.3
  [1]
   hpmimg: FW revision is out of supported BCD+ range
  [1]

Messages carry the name the tool was started by:

  $ mkdir other; ln -s "$(command -v hpmimg)" other/fwtool; PATH=other:$PATH fwtool -v 1.x -h img
   fwtool: FW revision is too short, expected something like 1.2.3
  [1]

Names of 4096 bytes or more are refused, not cut; the message is cut at 255 characters:

  $ name=$(printf 'n%.0s' $(seq 4096))
  $ for option in -h -u -k -r -a; do hpmimg -t $option "$name:1.0" -h img | cut -c1-70; \
  >     hpmimg -t $option "$name" -h img | wc -c; done
   Error: -h file name is too long (4096 bytes or more): 'nnnnnnnnnnnnnn
  256
   Error: -u file name is too long (4096 bytes or more): 'nnnnnnnnnnnnnn
  256
   Error: -k file name is too long (4096 bytes or more): 'nnnnnnnnnnnnnn
  256
   Error: -r file name is too long (4096 bytes or more): 'nnnnnnnnnnnnnn
  256
   Error: -a file name is too long (4096 bytes or more): 'nnnnnnnnnnnnnn
  256
  $ hpmimg -t -k "$name" -h img > /dev/null
  [1]
  $ hpmimg -t -h "${name:1}" | head -c 60
   Error: stat('nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn (no-eol)
