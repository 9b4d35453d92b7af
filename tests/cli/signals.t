A running tool that is signalled, or whose input shrinks under it. A sparse 512 MiB
component, and an image holding it (with a wrong trailer), keep every mode busy:

  $ truncate -s 512M rfs.img
  $ { header; upload 4 1 0 0 rfs.img 536870912; } > big.hpm; truncate -s 536871005 big.hpm
  $ { header; upload 4 1 0 0 a 9; echo 12345678; upload 4 1 0 0 b 536870912; } > twice.hpm; truncate -s +512M twice.hpm

SIGINT, SIGQUIT and SIGTERM end create, test and extract (here as the image's second copy of
a component is written, the first one in place) with the notice (no newline) and status 3,
after a SIGHUP that is ignored; a second signal during the first one's cleanup changes
nothing (`signalled` starts the tool with SIGINT and SIGQUIT not ignored):

  $ stop() { signalled "${@:2}" > out 2>&1 & busy $!; kill -HUP $!; kill -$1 $!; sleep 0.001; kill -$1 $! 2>/dev/null
  >     wait $!; echo "[$?]$(tail -n 1 out), notices $(grep -c caught out), sanitizer $(grep -ci sanitizer out)"; }
  $ for signal in INT QUIT TERM; do stop $signal $c out.hpm -r rfs.img
  >     stop $signal -t -h big.hpm; stop $signal -x -h twice.hpm -r rfs.out; done; cat rfs.out
  [3] hpmimg: caught signal 2, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 2, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 2, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 3, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 3, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 3, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 15, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 15, exiting., notices 1, sanitizer 0
  [3] hpmimg: caught signal 15, exiting., notices 1, sanitizer 0
  12345678

A component cut short while create mode reads it ends the run with the read error and status 1
(an image cut short is read as one too short, in walk.t):

  $ hpmimg $c out.hpm -r rfs.img > out & busy $!; truncate -s 20M rfs.img; wait $!; echo "[$?] $(cut -c1-24 out)"
  [1]  Error: input file fread
  $ truncate -s 512M rfs.img

Where the tool waits, a stopping signal still ends it at once, status 3, and the call it cuts
short is no error: opening an extract output that is a FIFO with no reader, and writing to a
pipe that nobody reads (8192 Reserved actions print far more than a pipe holds; the notice is
lost there). A guard kills a run that is still alive 3 seconds after the signal (status 137),
or half a second after a second signal:

  $ ended() { local pid=$1 limit=3; blocked $pid $3; kill -$2 $pid
  >     [ -z "${4:-}" ] || { sleep 0.1; kill -$4 $pid; limit=0.5; }
  >     (sleep $limit; kill -KILL $pid 2>/dev/null) & local guard=$!; wait $pid; echo "[$?]"; gone $guard; }
  $ mkfifo fifo.out pipe last
  $ signalled -x -h big.hpm -r fifo.out > out & ended $! INT partner; tail -n 2 out
  [3]
   Action Data Length = 536870912
   hpmimg: caught signal 2, exiting. (no-eol)
  $ { header; printf '\x03\x00\xfd%.0s' $(seq 8192); head -c 16 /dev/zero; } > many.hpm
  $ sleep 60 < pipe & reader=$!; hpmimg -t -h many.hpm > pipe & ended $! TERM pipe_w
  [3]
  $ gone $reader

A reader that stops reading ends the run by SIGPIPE, as it ends other filters, with no
message in its way; a time limit the parent set with alarm() ends it by SIGALRM:

  $ hpmimg -t -h many.hpm | head -n 1; echo "[${PIPESTATUS[0]}]"
   HPM.1 Image Format = 0
  [141]
  $ { perl -e 'alarm 1; exec @ARGV' hpmimg -x -h big.hpm -r fifo.out > out; } 2>/dev/null
  >     echo "[$?] $(grep -c caught out)"
  [142] 0

Where closing the files hangs too (the FIFO's reader reads nothing), the watchdog prints the
notice a second later, also with SIGALRM blocked by the parent and with a standard output
that takes nothing (/dev/full):

  $ for out in /dev/full out; do sleep 60 < fifo.out & reader=$!
  >     env --block-signal=ALRM hpmimg -x -h big.hpm -r fifo.out > $out & ended $! TERM pipe_w; gone $reader; done
  [3]
  [3]
  $ tail -n 1 out
   hpmimg: caught signal 15, exiting. (no-eol)

The same when the signal comes while the last lines are written at the end of the run (the
pipe is full before the tool starts): nothing on standard error, status 3. There a second
signal ends a run stuck in its cleanup at once, and leaves a notice being written be, to the
watchdog (the run still waits 0.3 seconds after it):

  $ printf x > x.bin; hpmimg $c tiny.hpm -u x.bin
  $ sleep 60 < last & reader=$!; { head -c 64K /dev/zero; exec hpmimg -t -h tiny.hpm 2> err; } > last &
  $ ended $! TERM pipe_w; cat err; gone $reader
  [3]
  $ sleep 60 < last & reader=$!; sleep 60 < fifo.out & readers="$reader $!"
  $ { head -c 64K /dev/zero; signalled -x -h big.hpm -r fifo.out; } > last & ended $! TERM pipe_w INT; gone $readers
  [3]
  $ sleep 60 < last & reader=$!
  $ { head -c 64K /dev/zero; signalled $c out.hpm -r rfs.img; } > last &
  $ busy $!; kill -TERM $!; blocked $! pipe_w; kill -INT $!; sleep 0.3; kill -0 $! && echo waits
  >     wait $!; echo "[$?]"; gone $reader
  waits
  [3]
