// formula.cpp - the formula compiler: tokens, one precedence-climbing
// function driven by a table of operator priorities, and a flat list of
// operations, with operations on numbers alone done at once.
#include <fitcore/model.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "formula_math.h"

namespace fitcore {
namespace {

using Code = FormulaOperation::Code;

struct Token {
    enum class Kind { number, name, symbol, end } kind;
    std::size_t position;
    std::string_view text;
    double number = 0;
};

// Binary operators with their left and right priorities: an operator whose
// left priority is above the limit of the operand being read binds to it.
// Right-associative powers have the lower right priority; unary minus sits
// between the products and the powers, so -x**2 is -(x**2).
struct BinaryOperator {
    std::string_view symbol;
    Code code;
    int left, right;
};
constexpr BinaryOperator kBinaryOperators[] = {
    {"+", Code::add, 6, 6},      {"-", Code::subtract, 6, 6}, {"*", Code::multiply, 7, 7},
    {"/", Code::divide, 7, 7},   {"^", Code::power, 10, 9},   {"**", Code::power, 10, 9},
};
constexpr int kUnaryPriority = 8;

struct Function {
    std::string_view name;
    Code code;
    int arguments;
};
constexpr Function kFunctions[] = {
    {"exp", Code::exp, 1},     {"log", Code::log, 1},     {"log10", Code::log10, 1}, {"sqrt", Code::sqrt, 1},
    {"abs", Code::abs, 1},     {"sin", Code::sin, 1},     {"cos", Code::cos, 1},     {"tan", Code::tan, 1},
    {"asin", Code::asin, 1},   {"acos", Code::acos, 1},   {"atan", Code::atan, 1},   {"sinh", Code::sinh, 1},
    {"cosh", Code::cosh, 1},   {"tanh", Code::tanh, 1},   {"erf", Code::erf, 1},     {"erfc", Code::erfc, 1},
    {"atan2", Code::atan2, 2}, {"pow", Code::power, 2},   {"min", Code::min, 2},     {"max", Code::max, 2},
};

const Function* FunctionNamed(std::string_view name)
{
    for (const Function& function : kFunctions)
        if (function.name == name) return &function;
    return nullptr;
}

const BinaryOperator* BinaryOperatorOf(const Token& token)
{
    if (token.kind != Token::Kind::symbol) return nullptr;
    for (const BinaryOperator& op : kBinaryOperators)
        if (op.symbol == token.text) return &op;
    return nullptr;
}

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The predictor a name stands for: 1 for "x", N for "xN" (N from 1, no
// leading zero); 0 when the name is no predictor.
int PredictorNumber(std::string_view name)
{
    if (name == "x") return 1;
    if (name.size() < 2 || name[0] != 'x' || name[1] == '0') return 0;
    int number = 0;
    for (char c : name.substr(1)) {
        if (!IsDigit(c) || number > 1000) return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

struct CompileError {
    std::size_t position;
    std::string message;
};

}  // namespace

class FormulaCompiler {
public:
    FormulaCompiler(std::string_view text, Formula& formula) : text_(text), formula_(formula) {}

    void Compile()
    {
        if (text_.size() > kMaxFormulaLength)
            throw CompileError{kMaxFormulaLength, "the formula is longer than " +
                                                      std::to_string(kMaxFormulaLength) + " characters"};
        Advance();
        if (token_.kind == Token::Kind::end) throw CompileError{token_.position, "the formula is empty"};
        Expression(0, 0);
        if (token_.kind != Token::Kind::end) {
            if (token_.text == ")") throw CompileError{token_.position, "unmatched ')'"};
            throw CompileError{token_.position, "expected an operator, found " + Shown(token_)};
        }
    }

private:
    // Reads the next token into token_.
    void Advance()
    {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
        token_ = {Token::Kind::end, at_, {}};
        if (at_ == text_.size()) return;
        const char c = text_[at_];
        if (IsDigit(c) || (c == '.' && at_ + 1 < text_.size() && IsDigit(text_[at_ + 1]))) return ReadNumber();
        if (IsNameStart(c)) {
            std::size_t end = at_;
            while (end < text_.size() && IsNamePart(text_[end])) ++end;
            token_ = {Token::Kind::name, at_, text_.substr(at_, end - at_)};
            at_ = end;
            return;
        }
        std::size_t length = text_.compare(at_, 2, "**") == 0 ? 2 : 1;
        if (length == 1 && std::string_view("+-*/^(),").find(c) == std::string_view::npos)
            throw CompileError{at_, "unexpected character " + Quoted(text_.substr(at_, 1))};
        token_ = {Token::Kind::symbol, at_, text_.substr(at_, length)};
        at_ += length;
    }

    // A number as strtod reads it: decimal or hexadecimal, with exponent.
    void ReadNumber()
    {
        std::string rest(text_.substr(at_, 400));  // no number of any use is longer
        char* stop = nullptr;
        errno = 0;
        double value = std::strtod(rest.c_str(), &stop);
        std::size_t length = static_cast<std::size_t>(stop - rest.c_str());
        if (errno == ERANGE && (value > 1 || value < -1))
            throw CompileError{at_, "the number " + Quoted(text_.substr(at_, length)) + " is too large"};
        token_ = {Token::Kind::number, at_, text_.substr(at_, length), value};
        at_ += length;
    }

    static std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }
    static std::string Shown(const Token& token)
    {
        return token.kind == Token::Kind::end ? "the end" : Quoted(token.text);
    }

    bool IsSymbol(std::string_view symbol) const
    {
        return token_.kind == Token::Kind::symbol && token_.text == symbol;
    }

    void Expect(std::string_view symbol, const std::string& context)
    {
        if (!IsSymbol(symbol))
            throw CompileError{token_.position, "expected '" + std::string(symbol) + "' " + context +
                                                    ", found " + Shown(token_)};
        Advance();
    }

    // An expression whose binary operators all have a left priority above
    // `limit`; `depth` counts the operands it is nested in.
    void Expression(int limit, int depth)
    {
        if (depth >= kMaxFormulaNesting)
            throw CompileError{token_.position,
                               "the formula is nested deeper than " + std::to_string(kMaxFormulaNesting) + " levels"};
        if (IsSymbol("-") || IsSymbol("+")) {
            const bool negate = token_.text == "-";
            Advance();
            Expression(kUnaryPriority, depth + 1);
            if (negate) Emit({Code::negate});
        } else {
            Operand(depth);
        }
        for (const BinaryOperator* op; (op = BinaryOperatorOf(token_)) != nullptr && op->left > limit;) {
            Advance();
            Expression(op->right, depth + 1);
            Emit({op->code});
        }
    }

    void Operand(int depth)
    {
        const Token token = token_;
        if (token.kind == Token::Kind::number) {
            Advance();
            return Emit({Code::number, 0, token.number});
        }
        if (IsSymbol("(")) {
            Advance();
            Expression(0, depth + 1);
            return Expect(")", "to close the '(' at " + std::to_string(token.position + 1));
        }
        if (token.kind != Token::Kind::name) throw CompileError{token.position, "expected an operand, found " + Shown(token)};
        Advance();
        if (const Function* function = FunctionNamed(token.text)) return Call(*function, token, depth);
        if (IsSymbol("(")) throw CompileError{token.position, "unknown function " + Quoted(token.text)};
        if (token.text == "pi") return Emit({Code::number, 0, 3.14159265358979323846});
        if (int predictor = PredictorNumber(token.text)) {
            if (predictor > kMaxPredictors)
                throw CompileError{token.position, "there are at most " + std::to_string(kMaxPredictors) +
                                                       " predictors, x1 to x" + std::to_string(kMaxPredictors)};
            if (predictor > formula_.predictors_) formula_.predictors_ = predictor;
            return Emit({Code::predictor, predictor - 1});
        }
        Emit({Code::parameter, ParameterIndex(token)});
    }

    void Call(const Function& function, const Token& name, int depth)
    {
        if (!IsSymbol("("))
            throw CompileError{token_.position,
                               Quoted(name.text) + " is a function: its argument goes in parentheses"};
        Advance();
        for (int i = 0; i < function.arguments; ++i) {
            if (i > 0) Expect(",", "between the arguments of " + std::string(function.name));
            Expression(0, depth + 1);
        }
        if (IsSymbol(","))
            throw CompileError{token_.position, std::string(function.name) + " takes " +
                                                    (function.arguments == 1 ? "one argument" : "two arguments")};
        Expect(")", "to close the arguments of " + std::string(function.name));
        Emit({function.code});
    }

    int ParameterIndex(const Token& name)
    {
        std::vector<std::string>& names = formula_.parameters_;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name.text) return static_cast<int>(i);
        if (names.size() == kMaxModelParameters)
            throw CompileError{name.position,
                               "the formula has more than " + std::to_string(kMaxModelParameters) + " parameters"};
        names.emplace_back(name.text);
        return static_cast<int>(names.size() - 1);
    }

    // Appends an operation; one whose operands are all numbers becomes the
    // number it gives.
    void Emit(FormulaOperation operation)
    {
        std::vector<FormulaOperation>& code = formula_.operations_;
        const int operands = OperandCount(operation.code);
        const std::size_t size = code.size();
        bool numbers = operands > 0 && size >= static_cast<std::size_t>(operands);
        for (int i = 1; numbers && i <= operands; ++i) numbers = code[size - i].code == Code::number;
        if (numbers) {
            double a = code[size - operands].number, b = code[size - 1].number;
            code.resize(size - operands);
            depth_ -= operands;
            operation = {Code::number, 0, operands == 1 ? ApplyUnary(operation.code, a) : ApplyBinary(operation.code, a, b)};
        }
        code.push_back(operation);
        depth_ += 1 - OperandCount(operation.code);
        if (depth_ > formula_.stack_depth_) formula_.stack_depth_ = depth_;
        if (depth_ > kMaxFormulaNesting + 2)
            throw CompileError{token_.position,
                               "the formula is nested deeper than " + std::to_string(kMaxFormulaNesting) + " levels"};
    }

    std::string_view text_;
    Formula& formula_;
    std::size_t at_ = 0;
    Token token_{Token::Kind::end, 0, {}};
    int depth_ = 0;  // operands on the evaluation stack after the operations so far
};

Formula::Formula(std::string_view text) : text_(text)
{
    try {
        FormulaCompiler(text, *this).Compile();
    } catch (const CompileError& error) {
        error_ = error.message;
        error_position_ = error.position;
        parameters_.clear();
        operations_.clear();
        predictors_ = 0;
        stack_depth_ = 0;
    }
}

double Formula::value(std::span<const double> x, std::span<const double> parameters) const
{
    // Every operand on the stack is one level of nesting deeper than the one
    // below it, so the nesting limit bounds the stack.
    std::array<double, kMaxFormulaNesting + 2> stack;
    std::size_t top = 0;  // operands on the stack
    for (const FormulaOperation& operation : operations_) {
        switch (OperandCount(operation.code)) {
        case 0:
            stack[top++] = operation.code == Code::number      ? operation.number
                           : operation.code == Code::predictor ? x[static_cast<std::size_t>(operation.index)]
                                                               : parameters[static_cast<std::size_t>(operation.index)];
            break;
        case 1: stack[top - 1] = ApplyUnary(operation.code, stack[top - 1]); break;
        default:
            --top;
            stack[top - 1] = ApplyBinary(operation.code, stack[top - 1], stack[top]);
        }
    }
    return top == 0 ? 0 : stack[top - 1];
}

}  // namespace fitcore
