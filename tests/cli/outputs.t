Outputs a user can trust. An image and an extracted component made once; `kept` names the
files of the folder that changed since, and the temporary files left, if any:

  $ seq 99999 | head -c 200000 > k; hpmimg $c fw.hpm -k k; cp k k.out; sums() { md5sum * > ../sums 2> /dev/null; }
  $ sums; kept() { md5sum -c ../sums 2>/dev/null | grep -v ': OK$'; ls -A | grep hpmimg-; echo kept; }
  $ x() { hpmimg -x -h fw.hpm "$@"; }

A file system that fills up, the file size limit and a signal leave the old file in place
(a sparse 64 MiB component, and an image holding one, keep create and extract busy).
SIGINT ends the run with status 3, any other signal that ends a process ends it by itself
(status 128 and its number), SIGALRM from outside too; not even SIGKILL leaves a file behind,
since the new file has no name until it is complete:

  $ mkdir ../full; on_tmpfs ../full 300 'cp ../run/fw.hpm . && hpmimg $c fw.hpm -k ../run/k
  >     cmp fw.hpm ../run/fw.hpm && ls'
   Error: close('fw.hpm') failed, No space left on device
  fw.hpm
  $ (ulimit -f 100; hpmimg $c fw.hpm -k k; x -k k.out | tail -1); kept
   Error: close('fw.hpm') failed, File too large
   Error: close('k.out') failed, File too large
  kept
  $ truncate -s 64M rfs.img; { header; upload 2 1 0 0 rfs.img 67108864; } > big.hpm; truncate -s 67108957 big.hpm
  $ sums; modes=("$c fw.hpm -r rfs.img" "-x -h big.hpm -k k.out"); n=0
  $ for signal in INT INT PIPE ALRM USR1 USR2 VTALRM PROF XCPU IO PWR SYS STKFLT RTMAX KILL KILL; do
  >     signalled ${modes[n++ % 2]} > /dev/null & busy $!; kill -$signal $!; wait $! 2>/dev/null
  >     echo -n " [$?]"; done; echo; kept
   [3] [3] [141] [142] [138] [140] [154] [155] [152] [157] [158] [159] [144] [192] [137] [137]
  kept

Where /proc is missing (a tmpfs hides it here), the new file has a temporary name from the
start, mode 0600 until it is complete; a second signal (both arrive as the stopped run goes
on) removes it, as a full disk does; a new file still gets what the umask gives:

  $ on_tmpfs /proc 4 "cd $PWD; env --default-signal=INT hpmimg $c fw.hpm -r rfs.img > /dev/null 2>&1 & n=0
  >     until stat -c %a .hpmimg-* 2> /dev/null || [ \$((n += 1)) -gt 500 ]; do sleep 0.01; done
  >     for signal in STOP INT TERM CONT; do kill -\$signal \$!; done; wait \$!; echo [\$?]; umask 027
  >     mount -t tmpfs -o size=300k tmpfs ../full; for out in ../full/fw.hpm new.hpm; do
  >     hpmimg $c \$out -r rfs.img 2> /dev/null; done; stat -c %a new.hpm; rm new.hpm; ls -A ../full"
  600
  [3]
   Error: output file fwrite(offset=523264) failed, No space left on device
  640
  $ kept
  kept

A temporary name already taken is passed over; where every try fails so, the run ends with
nothing made and no file of that name removed, whether the name is new (the empty file made to
learn what the umask gives a new file, the one unlinkat of the first run, cannot be made
either) or replaces a file. strace fails the calls that open a file in the folder t after the
first, which looks the name up, with EEXIST (O_TMPFILE too): 48 of them, then all:

  $ mkdir t; tries() { ASAN_OPTIONS=detect_leaks=0 strace --quiet=all -o ../trace -P t -e trace=openat,unlinkat \
  >     -e inject=openat:error=EEXIST:when=$1 hpmimg $c t/taken.hpm -k k
  >     echo "[$?] $(grep -c unlink ../trace) $(ls t | wc -l)"; }
  $ if can_trace; then tries 2..49; mv t/taken.hpm .; tries 2+; mv taken.hpm t; tries 2+
  > else echo "skip: no strace"; fi
  [0] 1 1
   Error: open('t/taken.hpm', write) failed, File exists
  [1] 0 0
   Error: open('t/taken.hpm', write) failed, File exists
  [1] 0 1

A new file gets what the shell's `>` gives it (0666 less the umask, or what the folder's
default ACL says); a replaced one keeps its mode and its ACL, and gets none from the folder
where it had none; a symbolic link stays, and another hard link keeps the old file:

  $ umask 027; chmod 604 k.out; ln -s k.out k-out-link; ln k.out k.old
  $ hpmimg $c two.hpm -u k -k k
  $ hpmimg -x -h two.hpm -u new1 -k new2 > /dev/null; x -k k-out-link > /dev/null
  $ stat -c '%A %h %n' new1 new2 k.out *link*
  -rw-r----- 1 new1
  -rw-r----- 1 new2
  -rw----r-- 1 k.out
  lrwxrwxrwx 1 k-out-link
  $ mkdir acl; cp k acl/own; cp k acl/plain
  $ if setfacl -m u:1001:rw acl/own 2> /dev/null && setfacl -d -m u:1001:rw,g::rw acl; then
  >     hpmimg -x -h two.hpm -u acl/new -k acl/own > /dev/null; : > acl/shell
  >     x -k acl/plain > /dev/null
  >     for f in acl/*; do echo "$f:" $(getfacl -cnE $f); done
  > else echo "skip: no ACLs here (no setfacl, or a file system without them)"; fi
  acl/new: user::rw- user:1001:rw- group::rw- mask::rw- other::---
  acl/own: user::rw- user:1001:rw- group::r-- mask::rw- other::---
  acl/plain: user::rw- group::r-- other::---
  acl/shell: user::rw- user:1001:rw- group::rw- mask::rw- other::---

A replaced file keeps its owner and group where the run may set them (root both, also without
CAP_FOWNER, any user a group it belongs to); where it may not, the file keeps no set-id bit, so
that no run makes a set-id program of someone else's (user 1002, of group 2000, runs a copy of
the tool, also on a file of its own that it may not read); nor does root without CAP_FOWNER,
which may not set one on another user's file:

  $ as_user() { setpriv --reuid 1002 --regid 1002 --groups 2000 "$@"; }
  $ if [ "$(id -u)" = 0 ] && chmod 711 .. && as_user test -r k 2> /dev/null; then
  >     install -m 755 "$(command -v hpmimg)" ../user-hpmimg; mkdir -m 777 open; mkdir -m 775 group; chgrp 2000 group
  >     for f in open/nobody:65534:65534:4755 open/other:1001:1001:6755 group/file:1001:2000:2664 open/unread:1002:0:200
  >     do IFS=: read -r f u g m <<< $f; cp k $f; chown $u:$g $f; chmod $m $f; done; chmod 644 fw.hpm
  >     x -k open/nobody > /dev/null; cp -p open/other open/fowner
  >     setpriv --inh-caps -fowner --bounding-set -fowner hpmimg -x -h fw.hpm -k open/fowner > /dev/null
  >     for f in open/other group/file open/unread; do as_user ../user-hpmimg -x -h fw.hpm -k $f > /dev/null; done
  >     stat -c '%u:%g %a %n' open/* group/*
  > else echo "skip: only root can give files to other users"; fi
  1001:1001 755 open/fowner
  65534:65534 4755 open/nobody
  1002:1002 705 open/other
  1002:1002 200 open/unread
  1002:2000 2664 group/file

strace holds a run at an instant, found by the file the call names: the close of the last
component (create mode has read everything, and nothing is in place yet), the rename onto an
output (the commit), a look at a name. A stopping signal before the commit gives status 3
and leaves the old file; one that comes while the last output is renamed or later ends the
run by itself, with no notice: status 3 would say that the output was not put in place, and
it was. In extract mode the last output is the last component named; one in place before the
signal stays; killed once all are in place (the image's close), the run leaves no replaced
file behind under a temporary name. The folder of an output is held from its opening: a target moved away mid-run
leaves the moved file as it was, a folder swapped for a link takes the output with it, and
one removed fails the run, as do a component made a link of the image once checked, and a
folder put in the target's place:

  $ h() { held "$@"; kept; sums; }; cp fw.hpm held.hpm; sums; if can_trace; then
  >     h k close 'kill -TERM $pid' $c held.hpm -u k; h held.hpm /rename 'kill -TERM $pid' $c held.hpm -u k
  >     for f in v w; do : > v; : > w; h $f /rename 'kill -TERM $pid' -x -h two.hpm -u v -k w
  >         for f in v w; do cmp -s $f k && echo "$f new" || echo "$f old"; done; done
  >     cp held.hpm held.old; h k close 'mv held.hpm moved.hpm' $c held.hpm -k k; cmp held.old moved.hpm
  >     echo theirs > b; ln b b.keep; h held.hpm openat 'mv b held.hpm' $c held.hpm -u k; wc -c < b.keep
  >     mkdir stage elsewhere gone; h k close 'mv stage staged; ln -s elsewhere stage' $c stage/new.hpm -k k
  >     find staged elsewhere; h k close 'rmdir gone' $c gone/new.hpm -k k; cat ../out
  >     cp k k2; h k2 openat 'ln -f held.hpm k2' $c held.hpm -k k2; grep Error ../out
  >     h k close 'rm held.hpm; mkdir held.hpm' $c held.hpm -k k; cat ../out; : > v; sums
  >     HPMIMG_STRICT=1 h w /rename 'rm w; mkdir w' -x -h two.hpm -u v -k w; tail -1 ../out
  >     rmdir w; : > v; : > w; sums; HPMIMG_STRICT=1 h two.hpm close 'kill -KILL $pid' -x -h two.hpm -u v -k w
  >     echo old > t1; phase=exit h t1 openat 'rm t1' -x -h fw.hpm -k t1; cmp t1 k && echo whole
  > else echo "skip: no strace"; fi
  [3] notices 1
  kept
  [143] notices 0
  held.hpm: FAILED
  kept
  [3] notices 1
  kept
  v new
  w old
  [143] notices 0
  w: FAILED
  kept
  v new
  w new
  [0] notices 0
  held.hpm: FAILED
  kept
  [0] notices 0
  held.hpm: FAILED
  kept
  7
  [0] notices 0
  kept
  staged
  staged/new.hpm
  elsewhere
  [1] notices 0
  kept
   Error: link('gone/new.hpm') failed, No such file or directory
  [1] notices 0
  kept
   Error: Kernel file 'k2' is the image file itself
  [1] notices 0
  held.hpm: FAILED open or read
  kept
   Error: rename('held.hpm') failed, Is a directory
  [1] notices 0
  w: FAILED open or read
  kept
   Error: rename('w') failed, Is a directory
  [137] notices 0
  v: FAILED
  w: FAILED
  kept
  [0] notices 0
  kept
  whole

A component rewritten while it is copied (the run stopped in the middle for certain), whose
size stat does not tell, or that is gone when its turn comes, gives no image:

  $ hpmimg $c fw.hpm -r rfs.img & busy $!; kill -STOP $!; touch -r rfs.img ../then
  $ printf x | dd of=rfs.img bs=1 seek=9 conv=notrunc status=none; touch -r ../then rfs.img
  $ kill -CONT $!; wait $!; kept
   Error: RFS file 'rfs.img' changed while it was read
  rfs.img: FAILED
  kept
  $ sums; hpmimg $c fw.hpm -k /proc/self/status; kept
   Error: Kernel file '/proc/self/status' changed while it was read
  kept
  $ cp k a; hpmimg $c fw.hpm -r rfs.img -a a & busy $!; kill -STOP $!; rm a; kill -CONT $!; wait $!; kept
   Error: stat('a') failed, No such file or directory
  kept

The tool's lines never land in an output: closed descriptors are filled (here while the
image is written, stopped in the middle), and an output that is standard output is refused
before anything is written:

  $ hpmimg $c new.hpm -r rfs.img >&- 2>&- & busy $!; kill -STOP $!
  $ readlink /proc/$!/fd/1 /proc/$!/fd/2; kill -CONT $!; wait $!; echo "[$?]"
  /dev/null
  /dev/null
  [0]
  $ hpmimg -c -v 1.0 -h /dev/stdout -k k > so.hpm; echo "[$?]"; cat so.hpm
  [1]
   Error: HPM image file '/dev/stdout' is standard output
  $ x -k /dev/stdout | cat; x -k /dev/null | tail -1
   Error: Kernel file '/dev/stdout' is standard output
   MD5 Checksum       = OK

Bytes of a description or a file name outside printable ASCII print escaped, C1 controls raw
or in UTF-8 and what is no UTF-8 included, so no image or name adds a line or drives the terminal:

  $ { header; upload 2 0 0 0 $'\nMD5 Checksum = OK\e\x7f' 0; upload 2 0 0 0 $'~\x1f\x9b\xc2\x9b\xff' 0; } > forged
  $ ln -s "$(command -v hpmimg)" ../bin/$'hpm\e[2J'; $'hpm\e[2J' -q -t 2>&1 | head -2
  hpm\x1B[2J: invalid option -- 'q'
   Usage: hpm\x1B[2J <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  $ seal forged; hpmimg -t -h forged | grep Description
   Action Description = \x0AMD5 Checksum = OK\x1B\x7F
   Action Description = ~\x1F\x9B\xC2\x9B\xFF
  $ hpmimg -x -h two.hpm -u $'a\nb' -k $'\e[2J\xc3' | grep Save
   Save Component to  = a\x0Ab
   Save Component to  = \x1B[2J\xC3

Extract delivers every component named, or says which it could not; one file named for two
components is refused before anything is written, whether it exists or not, under any
spelling: a second name, a link (also one in another folder, relative or absolute), a hard
link; the image too. The kernel follows 40 links in a name, and so does the tool:

  $ x -u u.out -k k.out -a a.out | tail -3; echo "[${PIPESTATUS[0]}]"; ls u.out
   MD5 Checksum       = OK
   Error: the image holds no U-Boot to write to 'u.out'
   Error: the image holds no APP to write to 'a.out'
  [1]
  ls: cannot access 'u.out': No such file or directory
  [2]
  $ mkdir sub other; ln -s new lnk; ln -s ../sub/t other/rel; ln -s "$PWD/sub/t" other/abs; ln k.out hard
  $ for args in "-u same -k same -r same" "-u new -k ./new" "-u lnk -k sub/../new" \
  >     "-u other/rel -k sub/t" "-u sub/t -k other/abs" "-u k.out -a hard" "-k ./sub/../fw.hpm"; do
  >     x $args | grep Error; done; ls same new sub/t
   Error: Kernel file 'same' is also the U-Boot file
   Error: Kernel file './new' is also the U-Boot file
   Error: Kernel file 'sub/../new' is also the U-Boot file
   Error: Kernel file 'sub/t' is also the U-Boot file
   Error: Kernel file 'other/abs' is also the U-Boot file
   Error: APP file 'hard' is also the U-Boot file
   Error: Kernel file './sub/../fw.hpm' is the image file itself
  ls: cannot access 'same': No such file or directory
  ls: cannot access 'new': No such file or directory
  ls: cannot access 'sub/t': No such file or directory
  [2]
  $ ln -s end l40; for n in $(seq 39 -1 0); do ln -s l$((n + 1)) l$n; done
  $ x -k l1 | tail -1; x -k l0 | tail -1; cmp k end && ls -l l1 | cut -c1
   MD5 Checksum       = OK
   Error: open('l0', write) failed, Too many levels of symbolic links
  l

A file whose name is all but too long is replaced as it is made; a link whose text, put after
its folder, makes too long a name is refused, and stays a link, as is a name of 256 bytes.
Where the rename onto the target cannot succeed, in an append-only folder or onto an immutable
file, the run is refused before anything is made; a new file in an append-only folder is
linked to its name, never given a temporary name that could not be removed there, so it is
refused where another file takes its name meanwhile (while the run is stopped), or where /proc
is missing:

  $ long=$(printf '%0250d/' $(seq 16))$(printf %075d 0); mkdir -p $long
  $ for n in 1 2; do hpmimg $c $long/fw -k k; done
  $ mkdir d; ln -s "$(printf %04094d 0)" d/lnk; hpmimg $c d/lnk -k k; ls -l d/lnk | cut -c1
   Error: open('d/lnk', write) failed, File name too long
  l
  $ hpmimg $c $(printf %0256d 0) -k k | cut -c1-13
   Error: open(
  $ rm -r 0*; mkdir fixed taken; cp fw.hpm fixed; cp fw.hpm frozen.hpm
  $ if chattr +a fixed taken 2> /dev/null; then chattr +i frozen.hpm
  >     for out in fixed/fw.hpm fixed/new.hpm frozen.hpm; do hpmimg $c $out -k k; done
  >     hpmimg $c taken/fw.hpm -r rfs.img & busy $!; kill -STOP $!; echo theirs > taken/fw.hpm; kill -CONT $!; wait $!
  >     chattr -a fixed taken; chattr -i frozen.hpm; ls -A fixed; cat taken/*
  > else echo "skip: no append-only folders here (no CAP_LINUX_IMMUTABLE, or a file system without them)"; fi
   Error: open('fixed/fw.hpm', write) failed, Operation not permitted
   Error: open('frozen.hpm', write) failed, Operation not permitted
   Error: link('taken/fw.hpm') failed, File exists
  fw.hpm
  new.hpm
  theirs
  $ mkdir late; if chattr +a late 2> /dev/null; then mounted 'mount -t tmpfs tmpfs /proc || exit 99
  >     hpmimg $c late/fw.hpm -k k 2> /dev/null; ls -A late'; chattr -a late
  > else echo "skip: no append-only folders here (no CAP_LINUX_IMMUTABLE, or a file system without them)"; fi
   Error: open('late/fw.hpm', write) failed, Operation not permitted

A target that is a mount point (one file bound into a container) cannot be renamed onto: the
complete new image is copied into it, which keeps its mode (a full disk then fails the copy,
leaving the old bytes and no temporary). Where /proc is missing, a user's own file that it may
not read, whose ACL it then cannot read either, is left as it was:

  $ cp fw.hpm bound.hpm; chmod 604 bound.hpm; : > mnt.hpm
  $ mounted 'mount --bind bound.hpm mnt.hpm 2> /dev/null || exit 99; hpmimg $c mnt.hpm -u k
  >     echo "[$?] $(stat -c %a bound.hpm) $(ls -A | grep -c hpmimg-)"; hpmimg -t -h bound.hpm | grep -c "( 0 )"
  >     mount -t tmpfs -o size=100k tmpfs ../full && seq 9999 > ../full/small && mount --bind ../full/small mnt.hpm
  >     hpmimg $c mnt.hpm -k k; echo "[$?] $(ls -A | grep -c hpmimg-)"; seq 9999 | cmp mnt.hpm -'
  [0] 604 0
  3
   Error: write('mnt.hpm') failed, No space left on device
  [1] 0
  $ mkdir -m 777 mine; cp k mine/unread; chmod 200 mine/unread; if chown 1002 mine/unread 2> /dev/null; then
  >     chmod 711 ..; install -m 755 "$(command -v hpmimg)" ../user-hpmimg
  >     unshare -m sh -c 'mount -t tmpfs tmpfs /proc || exit 99
  >     setpriv --reuid 1002 --regid 1002 --clear-groups ../user-hpmimg -x -h fw.hpm -k mine/unread 2>&- | tail -1' \
  >     2> /dev/null || echo "skip: no mount namespace of root's here (no CAP_SYS_ADMIN, or / not a mount point)"
  > else echo "skip: only root can give files to other users"; fi
   Error: failed to read the ACL of 'mine/unread', Permission denied

Names of descriptors are written as the shell writes them, in place where they lead to a pipe
or to a file that no name reaches (a deleted one); no file is made after a link's text, and
one that is also an input, the tool's own descriptor of the image too, is refused before
anything is written:

  $ hpmimg $c >(gzip > fw.gz) -k k; wait $!; zcat fw.gz > gz.hpm; hpmimg -t -h gz.hpm | tail -1
   MD5 Checksum       = OK
  $ x -k /dev/fd/3 3> >(wc -c > count) > out; wait $!; grep Save out; cat count
   Save Component to  = /dev/fd/3
  200000
  $ exec 4> victim; rm victim
  $ x -k /proc/self/fd/4 | grep Save; x -k /dev/fd/4 | grep Save; wc -c < /proc/self/fd/4; ls | grep -c victim
   Save Component to  = /proc/self/fd/4
   Save Component to  = /dev/fd/4
  200000
  0
  [1]
  $ hpmimg -c -v 1.0 -h /proc/self/fd/4 -k /dev/fd/4; cp fw.hpm /dev/fd/4
   Error: Kernel file '/dev/fd/4' is the image file itself
  $ sums; hpmimg -x -h two.hpm -u u.out -k /dev/fd/3 3<&-; kept
   Error: Kernel file '/dev/fd/3' is the image file itself
  kept

Signals ignored on entry stay ignored, SIGALRM too:

  $ (trap '' INT USR1 ALRM; exec hpmimg -t -h big.hpm > out) & busy $!
  $ kill -INT $!; kill -USR1 $!; kill -ALRM $!; wait $!; echo "[$?]"
  [0]
