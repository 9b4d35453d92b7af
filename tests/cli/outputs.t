Outputs a user can trust. An image and an extracted component made once; `kept` names the
files of the folder that changed since, and the temporary files left, if any:

  $ head -c 200000 /dev/urandom > k; hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -k k; cp k k.out
  $ md5sum * > ../sums; kept() { md5sum -c ../sums 2>/dev/null | grep -v ': OK$'; ls -A | grep hpmimg-; echo kept; }

A file system that fills up, the file size limit and a signal leave the old file in place
(a sparse 64 MiB component, and an image holding one, keep create and extract busy).
SIGINT ends the run with status 3, any other signal that ends a process ends it by itself
(status 128 and its number), SIGALRM from outside too:

  $ mkdir ../full; unshare -m sh -c 'mount -t tmpfs -o size=300k tmpfs ../full 2>/dev/null || exit 9
  >     cp fw.hpm ../full && cd ../full && hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -k ../run/k; cmp fw.hpm ../run/fw.hpm && ls'
  >     [ $? != 9 ] || echo "skip: no tmpfs can be mounted here"
   Error: close('fw.hpm') failed, No space left on device
  fw.hpm
  $ (ulimit -f 100; hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -k k; hpmimg -x -h fw.hpm -k k.out | tail -1); kept
   Error: close('fw.hpm') failed, File too large
   Error: close('k.out') failed, File too large
  kept
  $ truncate -s 64M rfs.img; { header; upload 2 1 0 0 rfs.img 67108864; } > big.hpm
  $ truncate -s 67108957 big.hpm; md5sum * > ../sums
  $ modes=("-c -v 1.0 -e 1.0 -h fw.hpm -r rfs.img" "-x -h big.hpm -k k.out"); n=0
  $ for signal in INT INT PIPE ALRM USR1 USR2 VTALRM PROF XCPU IO PWR SYS STKFLT RTMAX; do
  >     signalled ${modes[n++ % 2]} > /dev/null & busy $!; kill -$signal $!; wait $! 2>/dev/null
  >     echo -n " [$?]"; done; echo; kept
   [3] [3] [141] [142] [138] [140] [154] [155] [152] [157] [158] [159] [144] [192]
  kept

A new file gets 0666 less the umask, a replaced one keeps its mode; a symbolic link stays:

  $ umask 027; chmod 604 k.out; ln -s k.out k-out-link; hpmimg -c -v 1.0 -e 1.0 -h two.hpm -u k -k k
  $ hpmimg -x -h two.hpm -u new1 -k new2 > /dev/null; hpmimg -x -h fw.hpm -k k-out-link > /dev/null
  $ stat -c '%A %n' new1 new2 k.out *link*
  -rw-r----- new1
  -rw-r----- new2
  -rw----r-- k.out
  lrwxrwxrwx k-out-link

A component rewritten while it is copied (the run stopped in the middle for certain), or
whose size stat does not tell, gives no image:

  $ hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -r rfs.img & busy $!; kill -STOP $!
  $ printf x | dd of=rfs.img bs=1 seek=9 conv=notrunc status=none; kill -CONT $!; wait $!; kept
   Error: RFS file 'rfs.img' changed while it was read
  rfs.img: FAILED
  kept
  $ md5sum * > ../sums; hpmimg -c -v 1.0 -e 1.0 -h fw.hpm -k /proc/self/status; kept
   Error: Kernel file '/proc/self/status' changed while it was read
  kept

The tool's lines never land in an output: closed descriptors are filled (here while the
image is written, stopped in the middle), and an output that is standard output is refused
before anything is written:

  $ hpmimg -c -v 1.0 -e 1.0 -h new.hpm -r rfs.img >&- 2>&- & busy $!; kill -STOP $!
  $ readlink /proc/$!/fd/1 /proc/$!/fd/2; kill -CONT $!; wait $!; echo "[$?]"
  /dev/null
  /dev/null
  [0]
  $ hpmimg -c -v 1.0 -h /dev/stdout -k k > so.hpm; echo "[$?]"; cat so.hpm
  [1]
   Error: HPM image file '/dev/stdout' is standard output
  $ hpmimg -x -h fw.hpm -k /dev/stdout | cat; hpmimg -x -h fw.hpm -k /dev/null | tail -1
   Error: Kernel file '/dev/stdout' is standard output
   MD5 Checksum       = OK

Bytes of a description outside printable ASCII print escaped, C1 controls raw or in UTF-8
and what is no UTF-8 included, so no image adds a line or drives the terminal:

  $ { header; upload 2 0 0 0 $'\nMD5 Checksum = OK\e\x7f' 0; upload 2 0 0 0 $'~\x1f\x9b\xc2\x9b\xff' 0; } > forged
  $ seal forged; hpmimg -t -h forged | grep Description
   Action Description = \x0AMD5 Checksum = OK\x1B\x7F
   Action Description = ~\x1F\x9B\xC2\x9B\xFF

Extract delivers every component named, or says which it could not; one file named for two
components is refused:

  $ hpmimg -x -h fw.hpm -u u.out -k k.out -a a.out | tail -3; echo "[${PIPESTATUS[0]}]"; ls u.out
   MD5 Checksum       = OK
   Error: the image holds no U-Boot to write to 'u.out'
   Error: the image holds no APP to write to 'a.out'
  [1]
  ls: cannot access 'u.out': No such file or directory
  [2]
  $ hpmimg -x -h fw.hpm -u same -k same -r same; hpmimg -x -h fw.hpm -u k.out -a ./k.out; ls same
   Error: Kernel file 'same' is also the U-Boot file
   Error: APP file './k.out' is also the U-Boot file
  ls: cannot access 'same': No such file or directory
  [2]

Signals ignored on entry stay ignored, SIGALRM too:

  $ (trap '' INT USR1 ALRM; exec hpmimg -t -h big.hpm > out) & busy $!
  $ kill -INT $!; kill -USR1 $!; kill -ALRM $!; wait $!; echo "[$?]"
  [0]
