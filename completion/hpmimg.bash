# bash completion for hpmimg: installed as bash-completion/completions/hpmimg, or sourced.
#
# Offers the options, file names after -h, -u, -k, -r and -a, and nothing after -v and -e
# (a revision) nor after the ':' of file:rev, which bash makes a word of its own.
_hpmimg() {
    local options='-c -t -x -h -v -e -u -k -r -a --help --version'
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    case $cur in
    *:*) return 0 ;;
    esac
    case $prev in
    : | -v | -e) return 0 ;;
    -h | -u | -k | -r | -a)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return 0
        ;;
    esac
    case $cur in
    '' | -*) mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur") ;;
    esac
    return 0
}
complete -F _hpmimg hpmimg
