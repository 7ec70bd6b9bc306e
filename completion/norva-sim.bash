# bash completion for norva-sim                            -*- shell-script -*-
# The lists are kept equal to norva-sim --help by a test. Unit options also
# come as --unit1-NAME and --unit2-NAME.

_norva_sim_requests="verdict power-cycle status quit attach unplug replug power help pair"
# What "pair P" may be followed by.
_norva_sim_pair_requests="verdict power-cycle status attach unplug replug power"
_norva_sim_options="--pairs --one-port --follow --no-line-check --start-paired --link-dir --trace --control --inquiry-ms
    --connect-ms --connect-fail-ms --restart-ms --escape-guard-ms --random-profile -h --help --version"
_norva_sim_unit_options="--old-firmware --responses-off --start-pending --start-connected
    --start-mode --silent --start-off --no-scan-reply --keep-mode --keep-flow --refuse-uart --later-rates --chunk --echo --echo-form --noise --neighbours --reply-delay
    --line-gap --address --name --uart --flags --status-mode --status-flow --uart-applies --connect-reply --auto-link-announce
    --hangup-idle --idle-word --boot-ms --reset-reply --mode-acts --after-scan-link --escape-cr --ato-reply
    --s10-off-hides --paging-ms --page-restart --module-profile"
# Unit options that take a value, without their leading "--".
_norva_sim_unit_values="start-mode chunk neighbours reply-delay line-gap address name uart flags"

_norva_sim() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local words="" i
    COMPREPLY=()
    # After "--" comes a command line of its own.
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            if ((COMP_CWORD == i + 1)); then
                mapfile -t COMPREPLY < <(compgen -c -- "$cur")
            else
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            fi
            return
        fi
    done
    local name=${prev#--}
    name=${name#unit[12]-}
    case $prev in
    --trace | --control | --link-dir)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --*-ms | --pairs | --random-profile) return ;;
    attach)
        ((COMP_CWORD == 2 || COMP_CWORD == 4)) && words="1 2"
        ;;
    pair)
        ((COMP_CWORD == 2)) && return
        ;;
    --*)
        case $name in
        status-mode | status-flow) words="stored in-force" ;;
        uart-applies) words="restart at-once" ;;
        echo-form) words="line no-cr crlf typed none" ;;
        connect-reply) words="with-address bare" ;;
        auto-link-announce) words="yes no" ;;
        hangup-idle) words="ok error" ;;
        idle-word) words="STANDBY IDLE" ;;
        reset-reply) words="after-restart before-restart" ;;
        mode-acts) words="at-once restart" ;;
        after-scan-link) words="standby pending" ;;
        escape-cr) words="ignore error" ;;
        ato-reply) words="ok none" ;;
        s10-off-hides) words="ok-error all-results" ;;
        page-restart) words="yes no" ;;
        module-profile) words="default strict at-once real-slow" ;;
        *) [[ " $_norva_sim_unit_values " == *" $name "* ]] && return ;;
        esac
        ;;
    esac
    if [[ -z $words && $cur == -* ]]; then
        local units=${_norva_sim_unit_options//$'\n'/ }
        words="$_norva_sim_options $units ${units//--/--unit1-} ${units//--/--unit2-}"
    elif [[ -z $words ]] && ((COMP_CWORD == 1)); then
        words=$_norva_sim_requests
    elif [[ -z $words && ${COMP_WORDS[1]} == pair ]] && ((COMP_CWORD == 3)); then
        words=$_norva_sim_pair_requests
    fi
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _norva_sim norva-sim
