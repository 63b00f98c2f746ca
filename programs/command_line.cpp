// command_line.cpp - one table of options for the three fit programs: parsing and help.
#include "command_line.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include <fitcore/polyfit.h>
#include <fitcore/table.h>
#include <fitcore/whole_number.h>

#include "json_writer.h"

namespace {

// getopt's values for the options without a letter.
constexpr int kPointsKey = 256;
constexpr int kPlotTimeoutKey = 257;
constexpr int kErrorBarsKey = 258;
constexpr int kResidualsKey = 259;
constexpr int kTitleKey = 260;
constexpr int kXLabelKey = 261;
constexpr int kYLabelKey = 262;
constexpr int kLogXKey = 263;
constexpr int kLogYKey = 264;
constexpr int kDelimiterKey = 265;
constexpr int kDecimalCommaKey = 266;
constexpr int kCompareKey = 267;
constexpr int kBandKey = 268;
constexpr int kEquationKey = 269;
constexpr int kStartKey = 270;
constexpr int kFixKey = 271;
constexpr int kMaxIterationsKey = 272;
constexpr int kMaxPlotTimeout = 2147483;  // seconds whose milliseconds an int holds

// The longest text of --title, --xlabel and --ylabel, in bytes: it goes to
// gnuplot on one command line.
constexpr std::size_t kMaxPictureText = 1000;

// The programs an option is offered to.
enum class Offer {
    all,
    order,      // the programs that take an order (cadrafit)
    model,      // the programs that take a formula (modelfit)
    fixed_form, // the programs that fit a line or a polynomial: all but the model programs
};

struct OptionEntry {
    const char* name;      // the long name, without "--"
    int key;               // the letter of the short form, or a value above any letter
    const char* argument;  // the argument's name in the help, or null when none is taken
    const char* help;      // lines of the help text, separated by '\n'
    Offer offer;
    bool argument_optional = false;  // the argument may be left out; given, it follows '='
};

constexpr OptionEntry kOptions[] = {
    {"order", 'o', "N", "fit the polynomial of order N (2 to 9) without asking", Offer::order},
    {"start", kStartKey, "NAME=VALUE[,...]",
     "start the parameter NAME at VALUE (repeatable);\n"
     "a parameter without a start value starts at 1",
     Offer::model},
    {"fix", kFixKey, "NAME=VALUE[,...]", "hold the parameter NAME at VALUE (repeatable)", Offer::model},
    {"max-iterations", kMaxIterationsKey, "N", "try at most N steps (default 500)", Offer::model},
    {"no-plot", 'n', nullptr, "show no plot and do not wait", Offer::all},
    {"plot", 'p', "FILE",
     "draw the plot into FILE instead of showing it; the\n"
     "extension names the format: .png, .svg, .pdf, .eps or .ps",
     Offer::all},
    {"plot-timeout", kPlotTimeoutKey, "SECONDS",
     "give up the plot file when gnuplot has not drawn it\n"
     "within SECONDS (default 120)",
     Offer::all},
    {"json", 'j', nullptr,
     "print the results as one JSON object instead of the\n"
     "report; other messages go to standard error, and there\n"
     "is no plot unless --plot is given",
     Offer::all},
    {"points", kPointsKey, nullptr, "add every point and its fitted value to the JSON", Offer::all},
    {"errorbars", kErrorBarsKey, nullptr,
     "draw each point with its sigma as a vertical error\n"
     "bar; FILE must hold sigmas",
     Offer::all},
    {"residuals", kResidualsKey, nullptr, "add a panel of the residuals y - fit below the plot", Offer::all},
    {"title", kTitleKey, "TEXT", "give the plot the title TEXT", Offer::all},
    {"xlabel", kXLabelKey, "TEXT", "label the x axis TEXT instead of x", Offer::all},
    {"ylabel", kYLabelKey, "TEXT", "label the y axis TEXT instead of y", Offer::all},
    {"logx", kLogXKey, nullptr, "draw the x axis on a logarithmic scale", Offer::all},
    {"logy", kLogYKey, nullptr, "draw the y axis on a logarithmic scale", Offer::all},
    {"band", kBandKey, "LEVEL",
     "draw the confidence band of the fitted curve at LEVEL\n"
     "percent (default 95), scaled errors with -w",
     Offer::all, true},
    {"equation", kEquationKey, nullptr,
     "name the curve by its equation, each value with its\n"
     "standard error, and R^2 (chi^2/ndf with -w)",
     Offer::all},
    {"using", 'u', "X:Y[:S]",
     "read x, y and sigma from these columns of a table or\n"
     "CSV file, by number from 1 or by header name",
     Offer::fixed_form},
    {"using", 'u', "X1[,X2...]:Y[:S]",
     "read x (x1, x2, ... for several), y and sigma from these\n"
     "columns of a table or CSV file, by number from 1 or by\n"
     "header name",
     Offer::model},
    {"delimiter", kDelimiterKey, "C",
     "fields are separated by C (',', ';', 'tab' or 'space'\n"
     "for runs of blanks) instead of the one detected",
     Offer::all},
    {"decimal-comma", kDecimalCommaKey, nullptr, "read 1,5 as 1.5", Offer::all},
    {"stats", 's', nullptr,
     "after the report, each parameter with its standard error,\n"
     "t, p and 95 % interval, then the degrees of freedom,\n"
     "residual standard error, R^2, adjusted R^2 and the\n"
     "correlations of the parameters",
     Offer::fixed_form},
    {"weighted", 'w', nullptr,
     "fit by least squares weighted by 1/sigma^2 (the chi-square\n"
     "fit) and report chi^2 and both kinds of error; FILE must\n"
     "hold a sigma for every point",
     Offer::all},
    {"compare", kCompareKey, "FROM-TO",
     "compare the orders FROM to TO (default 1-9, as far as the\n"
     "points allow) by rms, residual standard error, adjusted\n"
     "R^2, AIC, BIC and the p value of the top coefficient;\n"
     "no plot unless --plot draws the order of lowest BIC",
     Offer::order, true},
    {"help", 'h', nullptr, "print this help and exit", Offer::all},
    {"version", 'V', nullptr, "print the version and exit", Offer::all},
};

constexpr int kHelpColumn = 21;  // where the help text of an option starts

bool Offered(const OptionEntry& entry, const ProgramInfo& program)
{
    switch (entry.offer) {
    case Offer::all: return true;
    case Offer::order: return program.takes_order;
    case Offer::model: return program.takes_model;
    case Offer::fixed_form: return !program.takes_model;
    }
    return false;
}

const OptionEntry* EntryOf(int key)
{
    for (const OptionEntry& entry : kOptions)
        if (entry.key == key) return &entry;
    return nullptr;
}

// Terminals by the extension of the plot file, lower case.
struct PlotFormat {
    const char* extension;
    const char* terminal;
};
constexpr PlotFormat kPlotFormats[] = {
    {"png", "pngcairo"},
    {"svg", "svg"},
    {"pdf", "pdfcairo"},
    {"eps", "postscript eps colour"},
    {"ps", "postscript eps colour"},
};

const char* TerminalFor(std::string_view file)
{
    std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || file.find('/', dot) != std::string_view::npos) return nullptr;
    std::string extension(file.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const PlotFormat& format : kPlotFormats)
        if (extension == format.extension) return format.terminal;
    return nullptr;
}

// The whole text is a number from fitcore::kMinPolynomialOrder to
// fitcore::kMaxPolynomialOrder, read as the order prompt reads it; 0 otherwise.
int OrderFrom(std::string_view text)
{
    std::optional<int32_t> value = fitcore::WholeNumberOf(text);
    if (!value || *value < fitcore::kMinPolynomialOrder || *value > fitcore::kMaxPolynomialOrder) return 0;
    return *value;
}

// The whole text is a number of seconds from 1 to kMaxPlotTimeout; 0 otherwise.
int SecondsFrom(std::string_view text)
{
    std::optional<int32_t> value = fitcore::WholeNumberOf(text);
    return value && *value >= 1 && *value <= kMaxPlotTimeout ? *value : 0;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Refuses the argument of an option: "invalid WHAT 'ARGUMENT': HINT". False.
bool Invalid(CommandLine& command, const char* what, const char* argument, const std::string& hint)
{
    command.error = "invalid " + std::string(what) + " " + Quoted(argument) + ": " + hint;
    return false;
}

// Why the text of a picture option can't be shown, or "" when it can: it is
// UTF-8 without control characters other than tabs and line breaks.
std::string PictureTextProblem(std::string_view text)
{
    if (text.size() > kMaxPictureText) return "is longer than " + std::to_string(kMaxPictureText) + " bytes";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return "holds a control character";
        bool valid = false;
        i += Utf8Sequence(text.substr(i), &valid);
        if (!valid) return "is not valid UTF-8";
    }
    return "";
}

// Takes the text of --title, --xlabel or --ylabel into `field`; false with
// `error` set when it can't be shown.
bool TakePictureText(CommandLine& command, const char* option, const char* argument, const char*& field)
{
    std::string problem = PictureTextProblem(argument);
    if (!problem.empty()) {
        command.error = "the text of '--" + std::string(option) + "' " + problem;
        return false;
    }
    field = argument;
    return true;
}

// The confidence level of --band=LEVEL, a percentage strictly between 0
// and 100, as a fraction; 0 for anything else.
double BandLevelFrom(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const double percent = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(percent > 0 && percent < 100)) return 0;
    return percent / 100;
}

// The separator --delimiter names: "tab", "space" (runs of blanks and tabs)
// or one punctuation character that can't be part of a number or a quote; 0
// for anything else.
char DelimiterFrom(std::string_view text)
{
    if (text == "tab" || text == "\t") return '\t';
    if (text == "space") return ' ';
    if (text.size() != 1 || !std::ispunct(static_cast<unsigned char>(text[0]))) return 0;
    return std::strchr(".+-\"", text[0]) == nullptr ? text[0] : 0;
}

// The columns of -u: one x column, or several for the model programs.
bool TakeColumns(CommandLine& command, const char* argument, const ProgramInfo& program)
{
    fitcore::ColumnChoice choice = fitcore::parse_columns(argument);
    if (choice.ok && choice.x.size() != 1 && !program.takes_model) {
        choice.ok = false;
        choice.error = "the fit takes one x column";
    }
    if (!choice.ok) return Invalid(command, "columns", argument, choice.error);
    command.columns = argument;
    return true;
}

// "FROM-TO" with whole numbers 1 <= FROM <= TO <= 9 into the record; false
// when the text is not such a range.
bool CompareRangeFrom(std::string_view text, CommandLine& command)
{
    std::size_t dash = text.find('-', 1);
    if (dash == std::string_view::npos) return false;
    std::optional<int32_t> from = fitcore::WholeNumberOf(text.substr(0, dash));
    std::optional<int32_t> to = fitcore::WholeNumberOf(text.substr(dash + 1));
    if (!from || !to || *from < 1 || *to > fitcore::kMaxPolynomialOrder || *from > *to) return false;
    command.compare_from = *from;
    command.compare_to = *to;
    return true;
}

// Takes one option and its argument into the record; false with `error` set
// when the argument is refused.
bool Apply(CommandLine& command, int key, const char* argument, const ProgramInfo& program)
{
    switch (key) {
    case 'h': command.help = true; break;
    case 'V': command.version = true; break;
    case 'n': command.no_plot = true; break;
    case 'j': command.json = true; break;
    case kPointsKey: command.points = true; break;
    case kErrorBarsKey: command.error_bars = true; break;
    case kResidualsKey: command.residuals = true; break;
    case kLogXKey: command.log_x = true; break;
    case kLogYKey: command.log_y = true; break;
    case kTitleKey: return TakePictureText(command, "title", argument, command.title);
    case kXLabelKey: return TakePictureText(command, "xlabel", argument, command.x_label);
    case kYLabelKey: return TakePictureText(command, "ylabel", argument, command.y_label);
    case kEquationKey: command.equation = true; break;
    case kBandKey:
        command.band_level = argument == nullptr ? 0.95 : BandLevelFrom(argument);
        if (command.band_level == 0)
            return Invalid(command, "confidence level", argument, "give a percentage between 0 and 100, such as 95");
        break;
    case kDecimalCommaKey: command.decimal_comma = true; break;
    case 'u': return TakeColumns(command, argument, program);
    case kDelimiterKey:
        command.delimiter = DelimiterFrom(argument);
        if (command.delimiter == 0)
            return Invalid(command, "delimiter", argument, "give one character such as ',' or ';', 'tab' or 'space'");
        break;
    case 's': command.stats = true; break;
    case 'w': command.weighted = true; break;
    case kCompareKey:
        command.compare = true;
        if (argument != nullptr && !CompareRangeFrom(argument, command))
            return Invalid(command, "order range", argument, "give FROM-TO with whole numbers 1 <= FROM <= TO <= 9");
        break;
    case kStartKey: command.starts.push_back(argument); break;
    case kFixKey: command.fixes.push_back(argument); break;
    case kMaxIterationsKey: {
        std::optional<int32_t> value = fitcore::WholeNumberOf(argument);
        if (!value || *value < 1) return Invalid(command, "number of iterations", argument, "give a whole number from 1");
        command.max_iterations = *value;
        break;
    }
    case 'o':
        command.order = OrderFrom(argument);
        if (command.order == 0) return Invalid(command, "order", argument, "give a whole number from 2 to 9");
        break;
    case kPlotTimeoutKey:
        command.plot_timeout = SecondsFrom(argument);
        if (command.plot_timeout == 0)
            return Invalid(command, "plot timeout", argument,
                           "give a whole number of seconds from 1 to " + std::to_string(kMaxPlotTimeout));
        break;
    case 'p':
        // gnuplot reads the name on one command line.
        if (std::strpbrk(argument, "\n\r") != nullptr) {
            command.error = "the plot file name must not hold a line break";
            return false;
        }
        command.plot_file = argument;
        command.plot_terminal = TerminalFor(argument);
        if (command.plot_terminal == nullptr) {
            command.error = "cannot tell the plot format of " + Quoted(argument) +
                            ": the name must end in .png, .svg, .pdf, .eps or .ps";
            return false;
        }
        break;
    }
    return true;
}

// The option as the user wrote it, for a message: "--order" when the
// argument `written` is a long option, else "-o".
std::string Spelled(const OptionEntry& entry, const char* written)
{
    if (std::strncmp(written, "--", 2) == 0) return std::string("--") + entry.name;
    return std::string("-") + static_cast<char>(entry.key);
}

// getopt_long's '?' explained. `written` is the argument it stopped at;
// `key` is getopt's optopt: 0 for a long option that is unknown or
// ambiguous, else the letter that is unknown or the option that was given an
// argument it does not take.
std::string RefusedOption(const ProgramInfo& program, const char* written, int key)
{
    std::string_view text = written;
    if (!text.starts_with("--")) {
        if (key == 0) return "unknown option " + Quoted(text);
        return "unknown option '-" + std::string(1, static_cast<char>(key)) + "'";
    }
    std::size_t equals = text.find('=');
    std::string_view name = text.substr(2, equals == std::string_view::npos ? text.npos : equals - 2);
    if (key != 0) {
        const OptionEntry* entry = EntryOf(key);
        if (equals != std::string_view::npos && entry != nullptr && std::string_view(entry->name).starts_with(name))
            return "option '--" + std::string(entry->name) + "' takes no argument";
        return "unknown option '-" + std::string(1, static_cast<char>(key)) + "'";
    }

    std::string matches;
    int count = 0;
    for (const OptionEntry& entry : kOptions) {
        if (!Offered(entry, program) || !std::string_view(entry.name).starts_with(name)) continue;
        matches += std::string(count++ == 0 ? "" : ", ") + "--" + entry.name;
    }
    std::string option = Quoted("--" + std::string(name));
    if (count > 1) return "option " + option + " is ambiguous: " + matches;
    return "unknown option " + option;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv, const ProgramInfo& program)
{
    // "-": take options anywhere and hand each other argument over in its
    // place, as key 1 (whatever POSIXLY_CORRECT says), until "--"; ":":
    // report a missing argument as ':' and print nothing.
    std::string letters = "-:";
    std::vector<option> options;
    for (const OptionEntry& entry : kOptions) {
        if (!Offered(entry, program)) continue;
        const int takes = entry.argument == nullptr ? no_argument
                          : entry.argument_optional ? optional_argument
                                                    : required_argument;
        options.push_back({entry.name, takes, nullptr, entry.key});
        if (entry.key < kPointsKey) {
            letters += static_cast<char>(entry.key);
            if (entry.argument) letters += ':';
        }
    }
    options.push_back({nullptr, 0, nullptr, 0});

    CommandLine command;
    optind = 0;  // a full restart of getopt's scan
    opterr = 0;
    for (int key; (key = getopt_long(argc, argv, letters.c_str(), options.data(), nullptr)) != -1;) {
        // Some getopt_long give ':' also for a long option that takes no
        // argument and was given one ("--json=yes"): that is '?' here.
        if (key == ':' && std::strncmp(argv[optind - 1], "--", 2) == 0 && std::strchr(argv[optind - 1], '=') != nullptr)
            key = '?';
        if (key == ':') {
            command.error = "option " + Quoted(Spelled(*EntryOf(optopt), argv[optind - 1])) +
                            " needs an argument";
            return command;
        }
        if (key == '?') {
            command.error = RefusedOption(program, argv[optind - 1], optopt);
            return command;
        }
        if (key == 1) {
            if (program.takes_model && command.formula == nullptr)
                command.formula = optarg;
            else if (command.file == nullptr)
                command.file = optarg;  // a second name is ignored
            continue;
        }
        if (!Apply(command, key, optarg, program)) return command;
    }
    // The first arguments after "--".
    if (program.takes_model && command.formula == nullptr && optind < argc) command.formula = argv[optind++];
    if (command.file == nullptr && optind < argc) command.file = argv[optind];
    if (command.help || command.version) return command;

    if (program.takes_model && command.formula == nullptr)
        command.error = "no FORMULA given";
    else if (command.no_plot && command.plot_file != nullptr)
        command.error = "options '--plot' and '--no-plot' exclude each other";
    else if (command.points && !command.json)
        command.error = "option '--points' needs '--json'";
    else if (command.decimal_comma && command.delimiter == ',')
        command.error = "a comma can't separate the fields and the decimals both";
    else if (command.compare && command.order != 0)
        command.error = "options '--compare' and '--order' exclude each other";
    return command;
}

void PrintHelp(std::FILE* out, const ProgramInfo& program)
{
    std::fprintf(out, "Usage: %s [OPTION]... %s[FILE]\n%s\n", program.name, program.takes_model ? "FORMULA " : "",
                 program.description);
    std::fputs("FILE holds the x/y data: a PCP file, comma-separated values when its\n"
               "name ends in .csv, or else a table of columns; - reads standard input.\n"
               "Without FILE its name is asked for on standard input.\n"
               "The report goes to standard output; then gnuplot shows the points and the\n"
               "curve until a space is typed.\n\nOptions:\n",
               out);
    for (const OptionEntry& entry : kOptions) {
        if (!Offered(entry, program)) continue;
        std::string left = entry.key < kPointsKey ? std::string("  -") + static_cast<char>(entry.key) + ", "
                                                 : std::string(6, ' ');
        std::string argument = entry.argument ? std::string("=") + entry.argument : "";
        left += std::string("--") + entry.name + (entry.argument_optional ? "[" + argument + "]" : argument);
        std::string_view help = entry.help;
        // An option too wide for its column has its help on the lines below.
        if (left.size() >= kHelpColumn - 1) {
            std::fprintf(out, "%s\n", left.c_str());
            left.clear();
        }
        for (std::size_t start = 0; start <= help.size();) {
            std::size_t end = std::min(help.find('\n', start), help.size());
            left.resize(kHelpColumn, ' ');
            std::fprintf(out, "%s%.*s\n", left.c_str(), static_cast<int>(end - start), help.data() + start);
            left.clear();
            start = end + 1;
        }
    }
    std::fputs("\nExit status: 0 when the run reached its end, 2 for a bad option, 1 for\n"
               "any other failure.\n",
               out);
}

void PrintVersion(std::FILE* out, const ProgramInfo& program)
{
    std::fprintf(out, "%s (fitcore) %s\n", program.name, FITCORE_VERSION);
}

void PrintUsageError(const ProgramInfo& program, const std::string& error)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.name, error.c_str(), program.name);
}
