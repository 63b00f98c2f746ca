# Bash completion for the fitcore programs veldafit, sorrafit and cadrafit:
# their options, the orders 2 to 9 of cadrafit, plot files by their
# extension and data files. Installed once under each program's name.

_fitcore()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -o | --order)
            [[ ${1##*/} == cadrafit ]] && COMPREPLY=($(compgen -W '2 3 4 5 6 7 8 9' -- "$cur"))
            return
            ;;
        -p | --plot)
            _filedir '@(png|svg|pdf|eps|ps|PNG|SVG|PDF|EPS|PS)'
            return
            ;;
    esac
    $split && return

    # Options come before the data file and end at "--"; nothing after the
    # file is used.
    local i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --)
                ((i + 1 == cword)) && _filedir
                return
                ;;
            -o | --order | -p | --plot) ((i++)) ;;
            -*) ;;
            *) return ;;
        esac
    done

    if [[ $cur == -* ]]; then
        local options='--no-plot --plot= --json --points --stats --weighted --help --version'
        [[ ${1##*/} == cadrafit ]] && options="--order= --compare --compare= $options"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
} &&
    complete -F _fitcore veldafit sorrafit cadrafit

# ex: filetype=sh
