# bash completion for mirelo-updater-cli.
# Commands and options come from the program's own --help, so they follow the
# program as it changes; --to offers the destinations that `list --json` names.

# The commands: the names in the "Subcommands:" block.
_mirelo_updater_cli_commands()
{
    "$1" --help 2>/dev/null | awk '/^Subcommands:$/ { inside = 1; next }
                                   /^[^ ]/ { inside = 0 }
                                   inside && /^  [a-z]/ { print $1 }'
}

# "OPTION ARGUMENT" per line for every spelling of every option of the program
# (no command given) or of one command; ARGUMENT is empty for a flag.
_mirelo_updater_cli_options()
{
    "$@" --help 2>/dev/null | awk '/^Options:$/ { inside = 1; next }
                                   /^[^ ]/ { inside = 0 }
                                   inside && /^  -/ {
                                       argument = ($2 ~ /^[A-Z]/ && $2 != "Excludes:") ? $2 : ""
                                       n = split($1, spellings, ",")
                                       for (i = 1; i <= n; ++i) print spellings[i], argument
                                   }'
}

# The display names of the destinations, one per line, JSON escapes undone.
_mirelo_updater_cli_destinations()
{
    "$1" list --json 2>/dev/null | sed -n \
        -e '/"kind":"destination"/!d' \
        -e 's/.*"display_name":"\(\([^"\\]\|\\.\)*\)".*/\1/' \
        -e 's/\\\\/\x01/g' -e 's/\\"/"/g' -e 's/\x01/\\/g' -e p
}

_mirelo_updater_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    local program=$1 command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    local -a options=()
    if [[ $prev == -* ]]; then
        mapfile -t options < <(_mirelo_updater_cli_options "$program" ${command:+"$command"})
        local option argument=""
        for option in "${options[@]}"; do
            if [[ ${option%% *} == "$prev" ]]; then
                argument=${option#* }
                [[ $argument == "$option" ]] && argument=""
                break
            fi
        done
        if [[ $prev == --to ]]; then
            # Names may hold spaces and quotes: offer each as one shell word.
            local name typed=${cur#[\"\']}
            typed=${typed//\\/}
            while IFS= read -r name; do
                [[ $name == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
            done < <(_mirelo_updater_cli_destinations "$program")
            return
        fi
        if [[ -n $argument ]]; then
            # Files are named FILE or by an example with an extension; other
            # arguments (MS, D, TEXT) are typed.
            [[ $argument == *FILE* || $argument == *.* ]] && _filedir
            return
        fi
    fi
    $split && return

    if [[ $cur == -* ]]; then
        ((${#options[@]})) || mapfile -t options < <(_mirelo_updater_cli_options "$program" ${command:+"$command"})
        COMPREPLY=($(compgen -W "${options[*]%% *}" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$(_mirelo_updater_cli_commands "$program")" -- "$cur"))
        return
    fi
    # Positionals: .syx files for pack, update files for send and inspect.
    case $command in
        pack) _filedir syx ;;
        send | inspect) _filedir ;;
    esac
} &&
    complete -F _mirelo_updater_cli mirelo-updater-cli
