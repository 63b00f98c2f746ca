#!/bin/bash
# The bash completion of the programs: options per program, the orders of
# cadrafit, plot files by extension, data files, nothing after the file.
# Usage: completion_test.sh SOURCE_DIR
set -u
source_dir=$1
. "$(dirname "$0")/common.sh"

bash_completion=/usr/share/bash-completion/bash_completion
[ -f "$bash_completion" ] || { echo "bash-completion is not installed"; exit 77; }
. "$bash_completion"
. "$source_dir/docs/completion/fitcore.bash"
# compopt works only while readline completes a word; here it has nothing to do.
compopt() { :; }

cd "$scratch" || fail "no scratch directory"
mkdir plots
touch a.pcp b.csv fit.png fit.svg fit.PDF notes.txt

# The candidates for the words given, the last one being completed, sorted
# and on one line; as bash hands them over, "=" is a word of its own.
candidates() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$1
    shift
    previous=""
    for word; do
        if [ "$word" = "=" ] || [ "$previous" = "=" ]; then COMP_LINE="$COMP_LINE$word"; else COMP_LINE="$COMP_LINE $word"; fi
        previous=$word
    done
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _fitcore "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {
    expected=$1
    shift
    got=$(candidates "$@")
    [ "$got" = "$expected" ] || fail "completing '$*': expected '$expected', got '$got'"
}

all_files="a.pcp b.csv fit.PDF fit.png fit.svg notes.txt plots "
plot_files="fit.PDF fit.png fit.svg plots "
expect "$all_files" veldafit ""
expect "$all_files" sorrafit -n -j --points ""
expect "$all_files" veldafit -p fit.png ""
expect "$all_files" veldafit -- ""
expect "" veldafit a.pcp ""
expect "" veldafit -- -a.pcp ""
expect "$plot_files" veldafit --plot ""
expect "fit.PDF fit.png fit.svg " cadrafit -p fi
expect "$plot_files" veldafit --plot = ""
expect "2 3 4 5 6 7 8 9 " cadrafit -o ""
expect "2 3 4 5 6 7 8 9 " build/bin/cadrafit -n --order ""
expect "" veldafit -o ""
expect "--order= " cadrafit --o
expect "" veldafit --o
expect "--band --band= --decimal-comma --delimiter= --equation --errorbars --help --json --logx --logy --no-plot --plot-timeout= --plot= --points --residuals --stats --title= --using= --version --weighted --xlabel= --ylabel= " sorrafit --
expect "--band --band= --decimal-comma --delimiter= --equation --errorbars --fix= --help --json --logx --logy --max-iterations= --no-plot --plot-timeout= --plot= --points --residuals --start= --title= --using= --version --weighted --xlabel= --ylabel= " modelfit --
expect "" modelfit --start a=1 ""
expect "$all_files" modelfit -u 1,2:3 'a*x1+b*x2' ""
expect "" modelfit 'a*x' a.pcp ""
expect "--band --band= " veldafit --b
expect "$all_files" veldafit --title "A fit" ""
expect "" sorrafit --xlabel ""
expect "--compare --compare= " cadrafit --c
expect "--plot-timeout= --plot= --points " veldafit -n --p

echo "completion offers what each program takes"
