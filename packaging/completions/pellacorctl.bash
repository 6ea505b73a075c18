# bash completion for pellacorctl: subcommands, options, parameter keys and groups.
_pellacorctl() {
    local cur prev words cword
    _init_completion || return

    local commands="list discover info probe status get set backup restore diff reset mode send firmware netconfig journal"
    local globals="--help --version --tcp --usb --usb-printer --usb-sim --usb-sim-printer --discovered --search-address --tcp-port --timeout --json --trace --journal --no-journal --journal-limit"
    local groups="version-info laminator-info parameter-setup laminator-setup interface-setup"
    local params="main-version main-boot total-card-amount total-laminate-amount laminator-sn laminator-model model-id laminate-menu heating-roller-temperature card-speed-at-heater-roller laminate-feed-speed laminate-film-position laminate-to-card-position laminate-end-position black-mark-detect black-mark-detect-speed auto-card-release-time buzzer power-save-menu-1 power-save-menu-2 language-setup lcd-contrast lcd-backlight laminator-id ip-get-method ip-address subnet-mask gateway mac-address time-out"

    case $prev in
        --usb-sim | --usb-sim-printer | --trace | --journal)
            _filedir
            return
            ;;
        --tcp | --search-address | --tcp-port | --timeout | --ip | --mask | --gateway | --name | --journal-limit | --serial | --since | --until | --kind)
            return
            ;;
    esac

    # The subcommand is the first word that is neither an option nor an option's value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --tcp | --usb-sim | --usb-sim-printer | --search-address | --tcp-port | --timeout | --trace | --journal | --journal-limit)
                ((i++))
                ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$globals" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    case $command in
        get)
            COMPREPLY=($(compgen -W "$groups $params" -- "$cur"))
            ;;
        set)
            compopt -o nospace
            COMPREPLY=($(compgen -S = -W "$params" -- "$cur"))
            ;;
        status)
            COMPREPLY=($(compgen -W "--watch --help" -- "$cur"))
            ;;
        restore)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--dry-run --include-network --force --help" -- "$cur"))
            else
                _filedir json
            fi
            ;;
        backup | diff)
            _filedir json
            ;;
        firmware)
            _filedir mot
            ;;
        reset)
            COMPREPLY=($(compgen -W "--yes --help" -- "$cur"))
            ;;
        mode)
            COMPREPLY=($(compgen -W "standard" -- "$cur"))
            ;;
        list)
            COMPREPLY=($(compgen -W "--network --help" -- "$cur"))
            ;;
        journal)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--serial --since --until --kind --csv --help" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "laminators export import" -- "$cur"))
                _filedir
            fi
            ;;
        netconfig)
            COMPREPLY=($(compgen -W "--static --dynamic --ip --mask --gateway --name --address --help" -- "$cur"))
            ;;
    esac
} && complete -F _pellacorctl pellacorctl
