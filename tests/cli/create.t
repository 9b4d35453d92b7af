Create mode. One kernel: header, Prepare action, Upload record and data, then the 16 bytes
of the MD5 trailer (which the dump in inspect.t checks); the build time is now,
SOURCE_DATE_EPOCH being empty (as if unset):

  $ printf 'hello kernel' > zImage
  $ before=$(date +%s); SOURCE_DATE_EPOCH= hpmimg -c -v 1.2.3 -h out.hpm -k zImage:2.6.1
   Warning: earliest compatibility version is set to 0(unknown).
  $ built=$(od -An -tu4 -j15 -N4 out.hpm); [ $before -le $built ] && [ $built -le $(date +%s) ] && echo now
  now
  $ stat -c %s out.hpm; bytes out.hpm 0 15; bytes out.hpm 19 15
  100
  50 49 43 4d 47 46 57 55 00 07 51 7e 0a 00 00
  07 02 3c 3c 3c 00 00 01 23 00 00 00 00 00 00
  $ bytes out.hpm 35 49
  01 02 fd 02 02 fc 02 61 00 00 00 00 7a 49 6d 61
  67 65 00 00 00 00 00 00 00 00 00 00 00 00 00 00
  00 0c 00 00 00 68 65 6c 6c 6f 20 6b 65 72 6e 65
  6c

SOURCE_DATE_EPOCH set is the build time instead, so the same inputs give the same bytes; a
value that is not plain digits from 0 to 4294967295 ends the run before the image is opened:

  $ fixed() { SOURCE_DATE_EPOCH=$1 hpmimg -c -v 1.2.3 -e 1.0 -h $2 -k zImage:2.6.1; }
  $ for value in 0 4294967295 abc -1 4294967296 12x " 5"; do
  >     out=$(fixed "$value" a.hpm); echo "[$?] $(bytes a.hpm 15 4)$out"; done
  [0] 00 00 00 00
  [0] ff ff ff ff
  [1] ff ff ff ff Error: SOURCE_DATE_EPOCH='abc' is not a number of seconds from 0 to 4294967295
  [1] ff ff ff ff Error: SOURCE_DATE_EPOCH='-1' is not a number of seconds from 0 to 4294967295
  [1] ff ff ff ff Error: SOURCE_DATE_EPOCH='4294967296' is not a number of seconds from 0 to 4294967295
  [1] ff ff ff ff Error: SOURCE_DATE_EPOCH='12x' is not a number of seconds from 0 to 4294967295
  [1] ff ff ff ff Error: SOURCE_DATE_EPOCH=' 5' is not a number of seconds from 0 to 4294967295

All four components, given out of order, are packed U-Boot, Kernel, RFS, APP, with their
revisions or zero; an empty file gets a record without data; a name of 21 characters or
more fills the description without a terminator:

  $ printf U > u-boot.bin; : > empty.bin; printf RRRR > rootfs.img; printf A > a-description-longer-than-21
  $ hpmimg -c -a a-description-longer-than-21:3.10.4 -r rootfs.img -k empty.bin:1.0.12 \
  >     -u u-boot.bin:1.2.15 -v 128.10.255 -e 1.2.15 -h four.hpm
  $ stat -c %s four.hpm; for r in "19 15" "35 3" "38 35" "73 34" "107 38" "145 35"; do bytes four.hpm $r; done
  196
  07 0f 3c 3c 3c 01 02 80 0a 00 00 00 ff 00 00
  01 0f f0
  02 01 fd 01 02 00 00 00 0f 75 2d 62 6f 6f 74 2e
  62 69 6e 00 00 00 00 00 00 00 00 00 00 00 01 00
  00 00 55
  02 02 fc 01 00 00 00 00 0c 65 6d 70 74 79 2e 62
  69 6e 00 00 00 00 00 00 00 00 00 00 00 00 00 00
  00 00
  02 04 fa 00 00 00 00 00 00 72 6f 6f 74 66 73 2e
  69 6d 67 00 00 00 00 00 00 00 00 00 00 00 04 00
  00 00 52 52 52 52
  02 08 f6 03 a4 00 00 00 00 61 2d 64 65 73 63 72
  69 70 74 69 6f 6e 2d 6c 6f 6e 67 65 72 2d 01 00
  00 00 41

The description keeps a directory part as given. A component option without a file name
still sets its bit in both masks; only the named components are packed:

  $ mkdir -p fw/v2 && printf x > fw/v2/app
  $ hpmimg $c dir.hpm -k :1.0 -a fw/v2/app
  $ bytes dir.hpm 19 2; bytes dir.hpm 35 3; bytes dir.hpm 38 20; stat -c %s dir.hpm
  07 0a
  01 0a f5
  02 08 f6 00 00 00 00 00 00 66 77 2f 76 32 2f 61
  70 70 00 00
  89

The target device comes from the first key in the RFS, Kernel, U-Boot, APP or image name:

  $ u=varn600e/u-boot.bin; mkdir varn600e; touch $u rootfs-varn600.img varn400-zImage varn800.img tesk800 varn1900
  $ for args in "-u $u -r rootfs-varn600.img -h a.hpm" "-u $u -h a.hpm" "-k zImage -h fw-tesk800.hpm" \
  >     "-a varn1900 -k zImage -h rootfs-varn600.hpm" "-k zImage -h VARN400.hpm" \
  >     "-u $u -k varn400-zImage -h a.hpm" "-k tesk800 -r varn800.img -h a.hpm"; do
  >     hpmimg -c -v 1.0 -e 1.0 $args > /dev/null && bytes "${args##* }" 9 1; done
  05
  06
  08
  15
  07
  03
  07

A later option replaces an earlier one, a shorter name too (what it does to the revision is
in strict.t's table):

  $ printf K > k; hpmimg $c k.hpm -k zImage -k k && bytes k.hpm 47 3
  6b 00 00

Every check of the command line runs before the image is opened, so the image is left as it
was:

  $ printf 'old image' > old.hpm; mkdir adir; mkfifo fifo
  $ truncate -s 2G huge.bin; truncate -s 2147483647 largest.bin; truncate -s 2147483527 rest.bin
  $ for args in "-k zImage" "-v 0.0 -k zImage" "-v 1.0" "-v 1.0 -k :1.0" \
  >     "-v 1.0 -u no.bin" "-v 1.0 -k zImage -k no.bin:1.0" "-v 1.0 -k zImage -r no.bin" \
  >     "-v 1.0 -a no.bin -u zImage" "-v 1.0 -r adir" "-v 1.0 -k fifo" "-v 1.0 -a huge.bin" \
  >     "-v 1.0 -u largest.bin -k rest.bin" "-v 1.0 -u old.hpm"; do
  >     hpmimg -c -h old.hpm $args; echo "[$?] $(cat old.hpm)"; done
   hpmimg: FW revision is necessary in create mode.
  [1] old image
   hpmimg: FW revision is necessary in create mode.
  [1] old image
   hpmimg: either U-Boot or Kernel or RFS or APP file shall be specified in create mode.
  [1] old image
   hpmimg: either U-Boot or Kernel or RFS or APP file shall be specified in create mode.
  [1] old image
   Error: can't access U-Boot file 'no.bin', No such file or directory
  [1] old image
   Error: can't access Kernel file 'no.bin', No such file or directory
  [1] old image
   Error: can't access RFS file 'no.bin', No such file or directory
  [1] old image
   Error: can't access APP file 'no.bin', No such file or directory
  [1] old image
   Error: RFS file 'adir' is not a regular file
  [1] old image
   Error: Kernel file 'fifo' is not a regular file
  [1] old image
   Error: APP file 'huge.bin' is 2 GiB or more, too large for an image
  [1] old image
   Error: the components add up to 4 GiB or more, too large for an image
  [1] old image
   Error: U-Boot file 'old.hpm' is the image file itself
  [1] old image

Failures to write:

  $ for image in missing/out.hpm . /dev/full; do hpmimg $c $image -u zImage; echo "[$?]"; done
   Error: open('missing/out.hpm', write) failed, No such file or directory
  [1]
   Error: open('.', write) failed, Is a directory
  [1]
   Error: close('/dev/full') failed, No space left on device
  [1]

An image of 4 GiB less one byte is allowed (here written to /dev/full, which takes nothing):

  $ truncate -s -1 rest.bin; hpmimg $c /dev/full -u largest.bin -k rest.bin | cut -d '(' -f1
   Error: output file fwrite
