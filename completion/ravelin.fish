# fish completion for ravelin: its commands, the options each command reads
# (less those already given), JSON files after --json and any file after --bin,
# --old and --new, and "-" (standard input or output) after each of them.

function __ravelin_at_command_word
    test (count (commandline -opc)) -eq 1
end

function __ravelin_after --argument-names option
    set -l words (commandline -opc)
    test (count $words) -ge 2; and test $words[-1] = $option
end

# JSON files and directories, through fish's own path completion.
function __ravelin_json_paths
    __fish_complete_path (commandline -ct) | string match -r -- '^.*(?:\.json|/)\t.*$'
end

# True when the command on the line reads the option and it is not given yet.
function __ravelin_offers --argument-names option
    set -l words (commandline -opc)
    set -q words[2]; or return 1
    # The word after an option that takes a value is that value, even one that starts with "-".
    contains -- $words[-1] --json --bin --old --new --tolerance-px; and return 1
    switch $words[2]
        case decode decode-verify
            set offered --bin --json --force --quiet
        case encode encode-verify
            set offered --json --bin --verify --force --quiet
        case verify check
            set offered --json --bin --quiet
        case compare-encodings test-crc
            set offered --json --quiet
        case inspect
            set offered --bin --json --force --quiet
        case diff
            set offered --old --new --json --tolerance-px --force --quiet
        case '*'
            return 1
    end
    contains -- $option $offered; or return 1
    set -l i 3
    while test $i -le (count $words)
        test $words[$i] = $option; and return 1
        # The word after an option that takes a value is that value, never an option.
        if contains -- $words[$i] --json --bin --old --new --tolerance-px
            set i (math $i + 1)
        end
        set i (math $i + 1)
    end
end

complete -c ravelin -f
complete -c ravelin -n __ravelin_at_command_word -a decode -d 'decode a blob into a JSON document'
complete -c ravelin -n __ravelin_at_command_word -a encode -d 'encode a JSON document into a blob'
complete -c ravelin -n __ravelin_at_command_word -a verify -d 'check that a blob carries a JSON document'
complete -c ravelin -n __ravelin_at_command_word -a compare-encodings -d 'compare sizes with binary JSON encodings'
complete -c ravelin -n __ravelin_at_command_word -a test-crc -d 'show the CRC-32 check on a damaged blob'
complete -c ravelin -n __ravelin_at_command_word -a check -d 'judge a calibration or device config for plausibility'
complete -c ravelin -n __ravelin_at_command_word -a inspect -d 'list a blob field by field, faults included'
complete -c ravelin -n __ravelin_at_command_word -a diff -d 'how far apart two calibrations are'
complete -c ravelin -n __ravelin_at_command_word -l help -s h -d 'show the usage text'
complete -c ravelin -n __ravelin_at_command_word -l version -s V -d 'print the version'

complete -c ravelin -n '__ravelin_offers --json' -l json -d 'the JSON document'
complete -c ravelin -n '__ravelin_offers --bin' -l bin -d 'the blob'
complete -c ravelin -n '__ravelin_after --json' -a '(__ravelin_json_paths)'
complete -c ravelin -n '__ravelin_after --bin; or __ravelin_after --old; or __ravelin_after --new' -F
complete -c ravelin -n '__ravelin_after --json; or __ravelin_after --bin; or __ravelin_after --old; or __ravelin_after --new' -a - -d 'standard input or output'
complete -c ravelin -n '__ravelin_offers --verify' -l verify -d 'verify the blob after writing it'
complete -c ravelin -n '__ravelin_offers --force' -l force -d 'replace an existing output'
complete -c ravelin -n '__ravelin_offers --quiet' -l quiet -d 'print no log line'
complete -c ravelin -n '__ravelin_offers --old' -l old -d 'the older document or blob'
complete -c ravelin -n '__ravelin_offers --new' -l new -d 'the newer document or blob'
complete -c ravelin -n '__ravelin_offers --tolerance-px' -l tolerance-px -d 'the projection tolerance in pixels'
