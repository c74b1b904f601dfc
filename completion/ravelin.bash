# bash completion for ravelin                               -*- shell-script -*-

# Completes a path: directories and, when a pattern is given, only the files
# that match it; and "-", standard input or output.
_ravelin_paths() {
    local current=$1 pattern=$2
    compopt -o filenames 2>/dev/null
    if [[ -n $pattern ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X "!$pattern" -- "$current")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
    fi
    [[ - == "$current"* ]] && COMPREPLY+=(-)
}

# Whether the option is followed by its value (a path, or a number of pixels).
_ravelin_takes_value() {
    [[ $1 == --json || $1 == --bin || $1 == --old || $1 == --new || $1 == --tolerance-px ]]
}

# The options a command reads, minus those already on the line.
_ravelin_unused_options() {
    local options used=" " option i
    case $1 in
        decode | decode-verify) options="--bin --json --force --quiet" ;;
        encode | encode-verify) options="--json --bin --verify --force --quiet" ;;
        verify | check) options="--json --bin --quiet" ;;
        compare-encodings | test-crc) options="--json --quiet" ;;
        inspect) options="--bin --json --force --quiet" ;;
        diff) options="--old --new --json --tolerance-px --force --quiet" ;;
        *) return ;;
    esac
    for ((i = 2; i < COMP_CWORD; i++)); do
        used+="${COMP_WORDS[i]} "
        # The word after an option that takes a value is that value, never an option.
        _ravelin_takes_value "${COMP_WORDS[i]}" && ((i++))
    done
    for option in $options; do
        [[ $used == *" $option "* ]] || printf '%s ' "$option"
    done
}

_ravelin() {
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        if [[ $current == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help -h --version -V" -- "$current")
        else
            mapfile -t COMPREPLY < <(compgen -W "decode encode verify compare-encodings test-crc check inspect diff" -- "$current")
        fi
        return
    fi

    case $previous in
        --json)
            _ravelin_paths "$current" '*.json'
            return
            ;;
        --bin | --old | --new)
            _ravelin_paths "$current" ''
            return
            ;;
        --tolerance-px)
            return
            ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$(_ravelin_unused_options "${COMP_WORDS[1]}")" -- "$current")
}

complete -F _ravelin ravelin
