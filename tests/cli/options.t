Options, revisions and modes. The usage text, for no arguments, no image, a missing argument
(getopt's answer to an unknown option too, such as an abbreviation of --help or any other
long option) or more than one mode:

  $ hpmimg
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  	[-u <uboot_file:rev>] [-k <kernel_file:rev>] \
  	[-r <rfs_file:rev>] [-a <app_file:rev>]
  [2]
  $ for args in "-t" "-x -u boot.bin" "-h ''" "-c -t -h img" "-t -x -h img" "-c -x -h img" \
  >     "-c -t -x -h img" "--he -h img" "-t -h img --helpful"; do
  >     eval hpmimg $args | head -1; echo "${PIPESTATUS[0]}"; done
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
  hpmimg: invalid option -- '-'
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2
  hpmimg: invalid option -- '-'
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  2

getopt's complaints go to standard error, the option byte escaped as names are; a missing
argument is not the option -: (nor -?):

  $ for args in -t $'-\e' $'-\x9b' -: -?; do hpmimg $args -h > /dev/null; echo "[$?]"; done
  hpmimg: option requires an argument -- 'h'
  [2]
  hpmimg: invalid option -- '\x1B'
  [2]
  hpmimg: invalid option -- '\x9B'
  [2]
  hpmimg: invalid option -- ':'
  [2]
  hpmimg: invalid option -- '?'
  [2]

--help and --version, these exact words anywhere among the arguments, win over everything
else, HPMIMG_STRICT's value too:

  $ hpmimg -t --help -h
   Usage: hpmimg <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \
  	[-u <uboot_file:rev>] [-k <kernel_file:rev>] \
  	[-r <rfs_file:rev>] [-a <app_file:rev>]
   Builds (-c), tests (-t, the default) or extracts (-x) PICMG HPM.1 upgrade images.
     -c             create the image named by -h from the component files
     -t             test the image: print its header and actions, check every checksum
     -x             extract: write each component's data to the file named for it
     -h file        the image file
     -v rev         the image's firmware revision (needed to create)
     -e rev         the earliest revision the image is compatible with
     -u file[:rev]  U-Boot: in create mode the file packed and its revision, in extract
                    mode the file written
     -k file[:rev]  Kernel, as -u
     -r file[:rev]  RFS (root file system), as -u
     -a file[:rev]  APP (application), as -u
     --help         print this help; --version: print the version
   A revision is major.minor[.patch]: major 0 to 128, minor 0 to 10, patch 0 to 255.
   Environment:
     HPMIMG_STRICT=1    status 1 on a damaged image, extracted files only from a sound
                        one, and the command line read strictly: no stray argument, no
                        revision with other text, in create mode every file with :rev
     SOURCE_DATE_EPOCH  the build time create mode writes, in seconds since 1970 (UTC)
   Exit status: 0 done, 1 error, 2 usage, 3 stopped by a signal. More: man hpmimg
  $ HPMIMG_STRICT=yes hpmimg -c -v 1.x -h --version stray --help
  hpmimg 1.0.0
  MIT licence: free to use, change and pass on, with no warranty.

Tab completion in bash, loaded from the source tree as bash-completion loads it: the
options, file names after -h and the component options, and nothing for a revision, after
-v and -e or after the ':' of file:rev (bash makes the colon a word of its own):

  $ . "$completion"; completer=$(complete -p hpmimg); completer=${completer#*-F }; completer=${completer%% *}
  $ offered() { COMP_WORDS=(hpmimg "$@"); COMP_CWORD=$#; COMPREPLY=(stale); $completer
  >     echo "${*@Q}:" $(printf '%s\n' "${COMPREPLY[@]}" | sort); }
  $ mkdir fw; touch fw.hpm fw/z; offered ''; offered -c --he; offered -h f; offered -x -k fw/; offered -v ''
  '': --help --version -a -c -e -h -k -r -t -u -v -x
  '-c' '--he': --help
  '-h' 'f': fw fw.hpm
  '-x' '-k' 'fw/': fw/z
  '-v' '':
  $ offered -e 1.; offered -c -k fw.hpm :; offered -k fw.hpm : 1.; offered -k fw.hpm : 1.0 -; offered stray
  '-e' '1.':
  '-c' '-k' 'fw.hpm' ':':
  '-k' 'fw.hpm' ':' '1.':
  '-k' 'fw.hpm' ':' '1.0' '-': --help --version -a -c -e -h -k -r -t -u -v -x
  'stray':

Standard output that cannot be written is an error; a run that already failed keeps its
status:

  $ hpmimg -t -x -h img > /dev/full; hpmimg --help > /dev/full
  hpmimg: standard output: No space left on device
  hpmimg: standard output: No space left on device
  [1]

Revisions are checked as they are read, in every mode, before any mode check (the table
of revisions is in strict.t):

  $ for args in "-x -e 1.x -h img" "-c -t -v 1.2 -r rfs:9" "-k zImage: -h img"; do hpmimg $args; echo "[$?]"; done
   hpmimg: FW revision is too short, expected something like 1.2.3
  [1]
   hpmimg: FW revision is too short, expected something like 1.2.3
  [1]
   hpmimg: invalid FW revision, expected something like 1.2.3
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
