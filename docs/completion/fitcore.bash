# Bash completion for the fitcore programs veldafit, sorrafit, cadrafit and
# modelfit: their options, the orders 2 to 9 of cadrafit, plot files by their
# extension and data files (after modelfit's formula). Installed once under
# each program's name.

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
        --title | --xlabel | --ylabel) return ;;
        --start | --fix | --max-iterations)
            [[ ${1##*/} == modelfit ]] && return
            ;;
    esac
    $split && return

    # Options come before the data file and end at "--"; nothing after the
    # file is used. modelfit takes its formula before the file.
    local i formulas=0
    [[ ${1##*/} == modelfit ]] && formulas=1
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --)
                ((i + 1 + formulas == cword)) && _filedir
                return
                ;;
            -o | --order | -p | --plot | -u | --using | --delimiter | --plot-timeout | --start | --fix | --max-iterations | --title | --xlabel | --ylabel) ((i++)) ;;
            -*) ;;
            *)
                ((formulas-- > 0)) && continue
                return
                ;;
        esac
    done
    # The formula itself is not completed.
    [[ $cur != -* ]] && ((formulas > 0)) && return

    if [[ $cur == -* ]]; then
        local options='--no-plot --plot= --plot-timeout= --json --points --using= --delimiter= --decimal-comma --weighted --errorbars --residuals --band --band= --equation --title= --xlabel= --ylabel= --logx --logy --help --version'
        [[ ${1##*/} != modelfit ]] && options="--stats $options"
        [[ ${1##*/} == cadrafit ]] && options="--order= --compare --compare= $options"
        [[ ${1##*/} == modelfit ]] && options="--start= --fix= --max-iterations= $options"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
} &&
    complete -F _fitcore veldafit sorrafit cadrafit modelfit

# ex: filetype=sh
