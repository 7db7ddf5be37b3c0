# bash completion for vesk-query. It lists the options of vesk-query --help; a test compares them.

_vesk_query()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    # The value of --resolve is HOST:PORT:ADDRESS[:PORT2]; nothing can be offered for it.
    if [[ $prev == --resolve || $prev == --jobs || $prev == --pace || $prev == --show || $prev == --expiring ]]; then
        COMPREPLY=()
        return
    fi
    # The batch file: any file, or - for standard input.
    if [[ $prev == --batch || $prev == --watch || $prev == --history-file ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    if [[ $cur == -* ]]; then
        local options='--filter-comments --no-filter-comments --ip --no-ip --contacts --no-contacts
            --reverse --no-reverse --rdap --no-rdap --status --update --resolve --json --batch --jobs --pace --version -h --help
            --no-history --history-file --changes --history --show --history-prune --history-clear --watch --expiring'
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    fi
}
complete -F _vesk_query vesk-query
