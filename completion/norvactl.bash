# bash completion for norvactl                             -*- shell-script -*-
# Commands and options are listed here, not asked of norvactl at each Tab; a
# test keeps the lists equal to what norvactl's help shows. COM names are
# asked of "norvactl ports", as they change with the cables plugged in.

_norvactl_commands="ports status probe detect escape cancel scan inquiry connect disconnect
    set-mode set-uart apply read-sreg write-sreg reset traits pair records label help"
_norvactl_port_options="--port --device --baud --parity --stop --port-baud --port-parity
    --port-stop"
_norvactl_other_options="--json --log -v --verbose --version -h --help"
_norvactl_valued_options="--port --device --log --baud --parity --stop --port-baud --port-parity
    --port-stop --mode --time --timeout --unit1 --unit2 --batch --line --unit1-line --unit2-line
    --uart --unit1-uart --unit2-uart --wait-time --retries --record --operator --label --since
    --unit --out"
_norvactl_bauds="1200 2400 4800 9600 19200 38400 57600 115200 230400 460800 921600"

_norvactl_command_options() {
    case $1 in
    scan) echo --mode --time ;;
    inquiry) echo --timeout ;;
    set-uart) echo --no-flow ;;
    apply) echo --mode --no-flow --verify ;;
    traits) echo --probe-settings ;;
    pair) echo --unit1 --unit2 --port --device --batch --line --unit1-line --unit2-line --uart \
        --unit1-uart --unit2-uart --wait-unit --wait-time --verify --retries --record --operator \
        --repair --skip-done --label --no-verify ;;
    records) echo --record --csv --since --unit ;;
    label) echo --record --unit --out ;;
    esac
}

_norvactl_ports() {
    local line
    while read -r line; do
        [[ $line =~ ^(COM[0-9]+) ]] && echo "${BASH_REMATCH[1]}"
    done < <(timeout 3 "$1" ports 2>/dev/null)
}

_norvactl() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" words="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ " ${_norvactl_valued_options//$'\n'/ } " == *" ${COMP_WORDS[i]} "* ]]; then
            ((i++))
        elif [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    COMPREPLY=()
    case $prev in
    --port | --unit1 | --unit2)
        words=$(_norvactl_ports "$1")
        ;;
    --device | --log | --batch | --record | --label | --out)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --baud | --port-baud) words=$_norvactl_bauds ;;
    --parity | --port-parity)
        # After apply, --parity is what the module stores: it has no odd.
        words="none even odd"
        [[ $command == apply && $prev == --parity ]] && words="none even"
        ;;
    --stop | --port-stop) words="1 2" ;;
    --mode | --time | --timeout | --wait-time | --retries | --operator | --since | --unit) return ;;
    --line | --unit1-line | --unit2-line) words="9600,none,1 115200,none,1" ;;
    --uart | --unit1-uart | --unit2-uart) words="9600,none,1 115200,none,1 9600,none,1,noflow" ;;
    *)
        if [[ $cur == -* ]]; then
            words="$_norvactl_other_options $(_norvactl_command_options "$command")"
            if [[ $command == detect || $command == pair ]]; then
                words+=" --port --device"
            elif [[ $command != ports && $command != help && $command != records &&
                $command != label ]]; then
                words+=" $_norvactl_port_options"
            fi
        elif [[ -z $command || $command == help ]]; then
            words=$_norvactl_commands
        fi
        ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _norvactl norvactl
