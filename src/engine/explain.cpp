// Explanations of the system's error messages. The message is recognised
// by its text (the one channel errors travel through carries only text),
// the statement it came from is looked at again, and the program's tables
// supply the names a misspelt one is compared with.
#include "engine/explain.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "api/api_table.hpp"
#include "api/arguments.hpp"
#include "engine/api_arguments.hpp"
#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "engine/source_text.hpp"
#include "text/encoding.hpp"
#include "text/messages.hpp"
#include "values/expression_rules.hpp"

namespace vx::engine {
namespace {

using msg::Id;
namespace rules = expr::rules;

constexpr std::size_t kNearestDistanceMax = 3;

// Texts of the loader's limits, in English as the system words them.
constexpr std::string_view kResourceLimit = "gRscCount beyond RESOURCE_MAX [1249]";
constexpr std::string_view kProcedureLimit = "gProcCount beyond PROCEDURE_MAX [1255]";
constexpr std::string_view kLabelLimit = "gLblCount beyond LABEL_MAX [1261]";
constexpr std::string_view kNoSuchApi = "no such API";
constexpr std::string_view kUnknownDirective = "unknown directive [";

// The statement keywords, for "did you mean" on an unknown directive.
constexpr std::array<std::string_view, 42> kKeywords = {
    "MakeTimer", "MakeStepTimer", "MakeButton", "MakePgsBar", "MakeTrackBar", "MakeScrollBar",
    "MakePWBox", "MakeTextBox", "MakeEditBox", "MakeListBox", "MakeComboBox", "MakeCheckBox",
    "MakeRadioButton", "MakeRadioButton1", "Data", "If", "else", "endif", "while", "endwhile",
    "break", "continue", "On", "ENDP", "OPEN", "CLOSE", "ReadLine", "CALL", "CALLS", "goto",
    "CALLSUB", "gotosl", "CALLSUBS", "TypeTo", "WriteTo", "MoveTo", "AddTo", "inc", "Exit",
    "Retsys", "Debug", "$CONFIG_TITTLE:"};

constexpr std::array<std::string_view, 6> kDataTypes = {"long", "double", "string", "FILE", "COM",
                                                        "ClipBoard"};

constexpr std::array<std::string_view, 12> kFunctions = {"sqrt", "abs", "round", "int", "sin", "cos",
                                                         "tan", "asin", "acos", "atan", "exp", "log"};

// What a name that is not declared was most likely meant to hold.
enum class Guess { kNumber, kText, kFile, kAny };

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The text of a message pattern with its one "%s" or "%d" taken as any text.
bool MatchPattern(std::string_view pattern, std::string_view text, std::string* arg) {
  std::size_t hole = std::string_view::npos;
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == '%' && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
      hole = i;
      break;
    }
  }
  if (hole == std::string_view::npos) return pattern == text;
  const std::string_view head = pattern.substr(0, hole);
  const std::string_view tail = pattern.substr(hole + 2);
  if (text.size() < head.size() + tail.size() || !text.starts_with(head) || !text.ends_with(tail)) {
    return false;
  }
  arg->assign(text.substr(head.size(), text.size() - head.size() - tail.size()));
  return true;
}

constexpr std::array<Id, 40> kExplained = {
    Id::kExpressionError,     Id::kStringExprNoResource, Id::kStringExprNoSeparator,
    Id::kIntParamMissing,     Id::kParamMissing,         Id::kResourceParamMissing,
    Id::kParamNoResource,     Id::kArgumentTooLong,      Id::kNoInternalFunction,
    Id::kNoSuchFunction,      Id::kDuplicateResource,    Id::kTooFewWords,
    Id::kParamsTooFew,        Id::kNoResource,           Id::kNoFileResource,
    Id::kNoLinkResource,      Id::kNotAResource,         Id::kFileOnLeft,
    Id::kInvalidFileName,     Id::kLabelBlank,           Id::kLabelTooLong,
    Id::kResourceNameTooLong, Id::kLabelRedefined,       Id::kLineTooLong,
    Id::kOutOfMemory,         Id::kIfNestTooDeep,        Id::kWhileNestTooDeep,
    Id::kUnexpectedElse,      Id::kUnexpectedEndif,      Id::kUnexpectedBreak,
    Id::kUnexpectedContinue,  Id::kUnexpectedEndwhile,   Id::kIfNotClosed,
    Id::kWhileNotClosed,      Id::kCannotAssign,         Id::kStackOverflow,
    Id::kNoLabelGoto,         Id::kNoLabelCallSub,       Id::kNoLabelIfGoto,
    Id::kNoLabelIfCallSub,
};

std::optional<Id> Recognise(std::string_view text, std::string* arg) {
  for (const Id id : kExplained) {
    if (MatchPattern(msg::Text(id), text, arg)) return id;
  }
  if (MatchPattern(msg::Text(Id::kNoShiftJisForm), text, arg)) return Id::kNoShiftJisForm;
  return std::nullopt;
}

std::string Quote(std::string_view name) {
  std::string out(1, '`');
  out += name;
  out += '`';
  return out;
}

std::string Number(long n) { return std::to_string(n); }

// Everything the explanation of one error looks at.
class Explainer {
 public:
  Explainer(const Runtime& rt, const ErrorSite& site) : rt_(rt), site_(site) {
    if (site.procedure >= 1 && site.procedure < rt.program.ProcCount()) proc_ = &rt.program.Proc(site.procedure);
    if (!site.statement.empty()) {
      const source::Word first = source::FirstWord(site.statement);
      keyword_ = first.text;
      keyword_end_ = first.end;
    }
    if (!site.api.empty()) {
      api_ = site.api;
    } else if (proc_ != nullptr && proc_->code == P_DTV_CALL) {
      api_ = api::NameOf(proc_->a);
    } else if (Is("CALL")) {
      api_ = Word(0);
    }
  }

  std::string Run() {
    std::string explanation = Explanation();
    std::string out = ScriptLocation(rt_, site_.line);
    out += ": ";
    out += explanation;
    if (!hint_.empty()) {
      out += Say(rt_, "; ", "");
      out += hint_;
    }
    return out;
  }

 private:
  std::string S(std::string_view en, std::string_view ja, std::initializer_list<std::string_view> args = {}) {
    return Say(rt_, en, ja, args);
  }

  bool Loading() const { return site_.loading; }
  bool Is(std::string_view keyword) const { return EqualsIgnoringCase(keyword_, keyword); }
  // The n-th word after the statement's first one.
  std::string_view Word(int n) const { return source::NthWord(site_.statement, keyword_end_, n).text; }

  std::string Explanation() {
    std::string arg;
    const std::string_view text = site_.message;
    if (text == kResourceLimit) return S("a script declares at most 1999 resources (70 of them are the system variables)", "リソース(システム変数70個を含む)は1999個までです。");
    if (text == kProcedureLimit) return S("a script holds at most 4999 statements", "文は4999個までです。");
    if (text == kLabelLimit) return S("a script defines or names at most 499 labels", "ラベルは499個までです。");
    if (text.starts_with("Line (") && text.find(kUnknownDirective) != std::string_view::npos) {
      return UnknownDirective();
    }
    if (text == kNoSuchApi) return NoSuchFunction(site_.api, true);
    const std::optional<Id> id = Recognise(text, &arg);
    if (!id) return Unrecognised();
    switch (*id) {
      case Id::kExpressionError: return Expression();
      case Id::kStringExprNoResource:
        hint_ = ResourceHint(arg, Guess::kText);
        return S("the text expression names {}, which is not declared (a text is written in double quotes)",
                 "文字列式の {} は宣言されていません(文字列は二重引用符で囲みます)。", {Quote(arg)});
      case Id::kStringExprNoSeparator:
        return S("texts and names in a text expression are joined with `+`",
                 "文字列式の文字列と名前は `+` でつなぎます。");
      case Id::kIntParamMissing:
      case Id::kParamMissing:
      case Id::kResourceParamMissing: return MissingArgument();
      case Id::kParamNoResource:
        hint_ = ResourceHint(arg, Guess::kAny);
        return S("the output {} is not declared", "出力先 {} は宣言されていません。", {Quote(arg)});
      case Id::kArgumentTooLong:
        return S("an argument is 4095 bytes or longer; pass a long text in a string variable",
                 "引数が4095バイト以上あります。長い文字列は文字列変数で渡してください。");
      case Id::kNoInternalFunction:
        return S("{} has a name in the function table but this program does not provide it "
                 "(the network and SMPT_ functions)",
                 "{} は関数表にありますが、このプログラムには実装されていません(ネットワークと SMPT_ の関数)。",
                 {Quote(api_.empty() ? arg : api_)});
      case Id::kNoSuchFunction: return NoSuchFunction(Word(0), false);
      case Id::kDuplicateResource: return Duplicate();
      case Id::kTooFewWords: return TooFewWords();
      case Id::kParamsTooFew: return ParamsTooFew();
      case Id::kNoResource: return NoResource(Guess::kAny);
      case Id::kNoFileResource: return NoResource(Guess::kFile);
      case Id::kNoLinkResource: {
        const std::string_view name = Word(0);
        hint_ = ResourceHint(name, Guess::kAny);
        return S("`On` names {}, which is not declared before it", "`On` の {} はそれより前に宣言されていません。",
                 {Quote(name)});
      }
      case Id::kNotAResource: return UndeclaredTarget();
      case Id::kFileOnLeft:
        return S("`+=` cannot add to the FILE resource {}; `AddTo` appends a text to a file",
                 "FILEリソース {} に `+=` は使えません。ファイルへの追記は `AddTo` です。", {Quote(AssignedName())});
      case Id::kInvalidFileName:
        return S("`Data FILE` needs the file's path in double quotes: `Data FILE {} \"data.txt\"`",
                 "`Data FILE` にはパスを二重引用符で書きます: `Data FILE {} \"data.txt\"`", {Word(1)});
      case Id::kLabelBlank: return S("a label needs a name after the `:`", "ラベルは `:` の後に名前が必要です。");
      case Id::kLabelTooLong:
        return S("label names are at most 31 bytes long", "ラベル名は31バイトまでです。");
      case Id::kResourceNameTooLong:
        return S("resource names are at most 31 bytes long", "リソース名は31バイトまでです。");
      case Id::kLabelRedefined: return Redefined(arg);
      case Id::kLineTooLong:
        return S("the line with its continuation lines reaches 4095 bytes",
                 "継続行を含めた行の長さが4095バイトに達しています。");
      case Id::kOutOfMemory: return S("memory ran out", "メモリが足りません。");
      case Id::kIfNestTooDeep:
        return S("`If` blocks nest at most 100 deep", "`If` ブロックの入れ子は100段までです。");
      case Id::kWhileNestTooDeep:
        return S("`while` loops nest at most 100 deep", "`while` ループの入れ子は100段までです。");
      case Id::kUnexpectedElse:
        OpenBlockHint();
        return S("this `else` has no open `If` block (or its block already had an `else`)",
                 "この `else` に対応する `If` ブロックがありません(または既に `else` があります)。");
      case Id::kUnexpectedEndif:
        OpenBlockHint();
        return S("this `endif` has no open `If` block", "この `endif` に対応する `If` ブロックがありません。");
      case Id::kUnexpectedBreak:
        return S("`break` (or `If ... BREAK`) stands outside every `while` loop",
                 "`break`(または `If ... BREAK`)が `while` ループの外にあります。");
      case Id::kUnexpectedContinue:
        return S("`continue` (or `If ... CONTINUE`) stands outside every `while` loop",
                 "`continue`(または `If ... CONTINUE`)が `while` ループの外にあります。");
      case Id::kUnexpectedEndwhile:
        OpenBlockHint();
        return S("this `endwhile` has no open `while` loop", "この `endwhile` に対応する `while` がありません。");
      case Id::kIfNotClosed:
        if (LineOfProcedure(arg) <= 0) {
          return S("an `If` block is never closed: add `endif`", "`If` ブロックが閉じられていません。`endif` を加えてください。");
        }
        return S("the `If` block opened on line {} is never closed: add `endif`",
                 "{}行目で始まった `If` ブロックが閉じられていません。`endif` を加えてください。",
                 {Number(LineOfProcedure(arg))});
      case Id::kWhileNotClosed:
        if (LineOfProcedure(arg) <= 0) {
          return S("a `while` loop is never closed: add `endwhile`",
                   "`while` ループが閉じられていません。`endwhile` を加えてください。");
        }
        return S("the `while` loop opened on line {} is never closed: add `endwhile`",
                 "{}行目で始まった `while` ループが閉じられていません。`endwhile` を加えてください。",
                 {Number(LineOfProcedure(arg))});
      case Id::kCannotAssign:
        return S("{} is {}, which cannot be assigned a value", "{} は{}なので値を代入できません。",
                 {Quote(arg), KindName(arg)});
      case Id::kStackOverflow: return StackOverflow();
      case Id::kNoLabelGoto:
      case Id::kNoLabelCallSub:
      case Id::kNoLabelIfGoto:
      case Id::kNoLabelIfCallSub: return NoLabel(arg);
      case Id::kNoShiftJisForm:
        return S("this line holds the character {}, which Shift-JIS (code page 932) cannot represent; "
                 "scripts run in Shift-JIS, so replace it",
                 "この行の文字 {} はShift-JIS(コードページ932)で表せません。スクリプトはShift-JISで動くので置き換えてください。",
                 {site_.detail.empty() ? std::string_view("?") : site_.detail});
      default: return Unrecognised();
    }
  }

  std::string Unrecognised() {
    if (site_.computed_call) {
      return S("{} reported this error; the script goes on with `G_ERROR` = 1",
               "{} がこのエラーを報告しました。スクリプトは `G_ERROR` = 1 で続行します。", {Quote(api_)});
    }
    if (!api_.empty()) {
      return S("{} reported this error and the script stopped here (see its page in docs/api)",
               "{} がこのエラーを報告し、スクリプトはここで止まりました(docs/api の説明を参照)。", {Quote(api_)});
    }
    if (Loading()) return S("loading stopped at this line", "この行で読み込みが止まりました。");
    return S("this statement failed and the script stopped here", "この文が失敗し、スクリプトはここで止まりました。");
  }

  std::string UnknownDirective() {
    const std::string_view word = keyword_;
    std::vector<std::string_view> keywords(kKeywords.begin(), kKeywords.end());
    if (api::LookupApi(word)) {
      hint_ = S("to call the built-in function write `CALL {} ...`", "組み込み関数の呼び出しは `CALL {} ...` と書きます。",
                {word});
    } else if (rt_.program.FindResource(word) >= 0) {
      hint_ = S("{} is a resource: an assignment is written `{} = value`", "{} はリソースです。代入は `{} = 値` と書きます。",
                {Quote(word), word});
    } else if (word.size() > 1 && word.back() == ':') {
      hint_ = S("a label is written with the colon first: `:{}`", "ラベルはコロンを先に書きます: `:{}`",
                {word.substr(0, word.size() - 1)});
    } else if (const auto near = NearestName(word, keywords)) {
      hint_ = S("did you mean {}?", "{} のことですか?", {Quote(*near)});
    } else if (const auto near_api = NearestApi(word)) {
      hint_ = S("did you mean `CALL {}`?", "`CALL {}` のことですか?", {*near_api});
    }
    return S("{} is not a statement: a line starts with a keyword, a declaration, a label or an assignment",
             "{} は文ではありません。行はキーワード、宣言、ラベル、代入のいずれかで始まります。", {Quote(word)});
  }

  std::optional<std::string_view> NearestApi(std::string_view name) const {
    std::vector<std::string_view> names;
    names.reserve(api::Table().size());
    for (const ApiEntry& e : api::Table()) names.push_back(e.name);
    return NearestName(name, names);
  }

  std::string NoSuchFunction(std::string_view name, bool computed) {
    if (const auto near = NearestApi(name)) {
      hint_ = EqualsIgnoringCase(*near, name)
                  ? S("names of functions are case-sensitive: did you mean {}?",
                      "関数名は大文字と小文字を区別します。{} のことですか?", {Quote(*near)})
                  : S("did you mean {}?", "{} のことですか?", {Quote(*near)});
    }
    if (name.empty()) return S("`CALL` needs the name of a built-in function", "`CALL` には組み込み関数の名前が必要です。");
    if (computed) {
      return S("`CALLS` computed the name {}, and no built-in function has it (the script goes on with "
               "`G_ERROR` = 2)",
               "`CALLS` が求めた名前 {} の組み込み関数はありません(スクリプトは `G_ERROR` = 2 で続行します)。",
               {Quote(name)});
    }
    return S("no built-in function is named {}", "{} という組み込み関数はありません。", {Quote(name)});
  }

  // Names of resources, system variables included.
  std::vector<std::string_view> ResourceNames() const {
    std::vector<std::string_view> names;
    for (std::int32_t i = 0; i < rt_.program.RscCount(); ++i) names.push_back(rt_.program.Resource(i).Name());
    return names;
  }

  std::string Declaration(std::string_view name, Guess guess) {
    std::string n(name);
    switch (guess) {
      case Guess::kText: return "Data string " + n + " 256";
      case Guess::kFile: return "Data FILE " + n + " \"data.txt\"";
      case Guess::kNumber:
      case Guess::kAny: break;
    }
    return "Data long " + n + " 0";
  }

  // What to do about a name that is not declared.
  std::string ResourceHint(std::string_view name, Guess guess) {
    if (name.empty()) return {};
    for (const IgnoredDeclaration& d : rt_.diagnostics.ignored_declarations) {
      if (d.name != name) continue;
      std::vector<std::string_view> types(kDataTypes.begin(), kDataTypes.end());
      const auto near = NearestName(d.type, types);
      return S("line {} declares it with `Data {}`, which is no type, so that line was ignored: did you mean `Data {}`?",
               "{}行目の `Data {}` は型ではないため、その行は無視されました。`Data {}` のことですか?",
               {Number(d.line), d.type, near ? *near : std::string_view("long")});
    }
    const std::vector<std::string_view> names = ResourceNames();
    if (const auto near = NearestName(name, names)) {
      return S("did you mean {}?", "{} のことですか?", {Quote(*near)});
    }
    return S("declare it before its first use, for example `{}`", "使う前に宣言してください。例: `{}`",
             {Declaration(name, guess)});
  }

  std::string NoResource(Guess guess) {
    // The first operand word that names nothing.
    std::string_view name;
    const int first = Is("ReadLine") && guess == Guess::kAny ? 1 : 0;
    for (int n = first; n < 2; ++n) {
      const std::string_view w = Word(n);
      if (!w.empty() && rt_.program.FindResource(w) < 0) {
        name = w;
        break;
      }
    }
    if (name.empty()) return Unrecognised();
    hint_ = ResourceHint(name, guess);
    if (guess == Guess::kFile) {
      return S("{} needs a FILE resource, and {} is not declared", "{} にはFILEリソースが必要ですが、{} は宣言されていません。",
               {Quote(keyword_), Quote(name)});
    }
    return S("{} names {}, which is not declared", "{} の {} は宣言されていません。", {Quote(keyword_), Quote(name)});
  }

  std::string_view AssignedName() const {
    std::string_view name = keyword_;
    if (name.size() > 1 && name.back() == '+') name.remove_suffix(1);
    return name;
  }

  std::string UndeclaredTarget() {
    const std::string_view name = AssignedName();
    const std::size_t eq = site_.statement.find('=');
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : site_.statement.substr(eq + 1);
    const Guess guess = value.find('"') != std::string_view::npos ? Guess::kText : Guess::kNumber;
    hint_ = ResourceHint(name, guess);
    return S("{} on the left of `=` is not declared", "`=` の左辺 {} は宣言されていません。", {Quote(name)});
  }

  std::string Duplicate() {
    // Data TYPE NAME, or Make... NAME.
    const std::string_view name = Is("Data") ? Word(1) : Word(0);
    for (std::int32_t i = 0; i + 1 < rt_.program.RscCount(); ++i) {
      const ResourceEntry& e = rt_.program.Resource(i);
      if (e.Name() != name) continue;
      if (i < SYSTEM_VARIABLE_COUNT) {
        return S("{} is a system variable; choose another name", "{} はシステム変数です。別の名前にしてください。",
                 {Quote(name)});
      }
      return S("{} is declared twice; the first declaration is on line {}",
               "{} が二度宣言されています。最初の宣言は{}行目です。", {Quote(name), Number(e.line)});
    }
    return S("{} is declared twice", "{} が二度宣言されています。", {Quote(name)});
  }

  std::string TooFewWords() {
    if (Is("Data")) {
      return S("`Data` needs a type and a name, for example `Data long COUNT 0`",
               "`Data` には型と名前が必要です。例: `Data long COUNT 0`");
    }
    return S("{} needs a name, then x, y, width and height", "{} には名前と x, y, 幅, 高さ が必要です。",
             {Quote(keyword_)});
  }

  std::string ParamsTooFew() {
    if (Is("ReadLine")) {
      return S("`ReadLine` needs a FILE resource and a variable: `ReadLine FILE LINE`",
               "`ReadLine` にはFILEリソースと変数が必要です: `ReadLine FILE LINE`");
    }
    if (Is("OPEN") || Is("CLOSE")) {
      return S("{} needs the name of a FILE resource", "{} にはFILEリソースの名前が必要です。", {Quote(keyword_)});
    }
    if (Is("On")) return S("`On` needs the name of a control or timer", "`On` にはコントロールかタイマーの名前が必要です。");
    if (Is("inc")) return S("`inc` needs the name of a variable", "`inc` には変数の名前が必要です。");
    return S("{} needs a source and a destination: `{} SOURCE DESTINATION`",
             "{} には元と先の二つが必要です: `{} 元 先`", {Quote(keyword_), keyword_});
  }

  std::string Redefined(std::string_view name) {
    for (std::int32_t i = 0; i < rt_.program.LblCount(); ++i) {
      const Label& label = rt_.program.LabelAt(i);
      if (label.Name() != name || label.entry <= 0) continue;
      const std::int32_t line =
          label.entry < rt_.program.ProcCount() ? rt_.program.Proc(label.entry).line : 0;
      if (line > 0) {
        return S("the label `:{}` is already defined before line {}; each label is defined once",
                 "ラベル `:{}` は{}行目より前で既に定義されています。ラベルの定義は一度だけです。", {name, Number(line)});
      }
    }
    return S("the label `:{}` is already defined; each label is defined once",
             "ラベル `:{}` は既に定義されています。ラベルの定義は一度だけです。", {name});
  }

  void OpenBlockHint() {
    if (site_.open_if_line > 0 && (site_.open_while_line == 0 || site_.open_if_line > site_.open_while_line)) {
      hint_ = S("the innermost open block is the `If` of line {}", "最も内側の開いているブロックは{}行目の `If` です。",
                {Number(site_.open_if_line)});
    } else if (site_.open_while_line > 0) {
      hint_ = S("the innermost open block is the `while` of line {}", "最も内側の開いているブロックは{}行目の `while` です。",
                {Number(site_.open_while_line)});
    }
  }

  long LineOfProcedure(std::string_view index_text) const {
    char* end = nullptr;
    const std::string index(index_text);
    const long p = std::strtol(index.c_str(), &end, 10);
    if (p >= 1 && p < rt_.program.ProcCount()) return rt_.program.Proc(static_cast<std::int32_t>(p)).line;
    return 0;
  }

  std::string KindName(std::string_view name) {
    const std::int32_t index = rt_.program.FindResource(name);
    const std::uint16_t kind = index >= 0 ? rt_.program.Resource(index).kind : std::uint16_t{R_KD_DUMMY};
    switch (kind) {
      case R_KD_TIMER: return S("a timer", "タイマー");
      case R_KD_G_AREA: return S("a graphics area", "描画領域");
      case R_KD_TCP_PORT:
      case R_KD_SCI_PORT: return S("a network port", "ネットワークポート");
      default: return S("a resource of another kind", "代入できない種類のリソース");
    }
  }

  std::string StackOverflow() {
    const std::int32_t depth = rt_.run.depth;
    if (depth > 0) {
      const std::int32_t label = rt_.run.stack[depth - 1].label;
      if (label >= 0 && label < rt_.program.LblCount()) {
        hint_ = S("the last call was to `:{}`", "最後の呼び出し先は `:{}` です。", {rt_.program.LabelAt(label).Name()});
      }
    }
    return S("subroutine calls nest more than 100 deep: a subroutine calls itself, or a `CALLSUB` never "
             "reaches its `ENDP`",
             "サブルーチン呼び出しの入れ子が100段を超えました。自分自身を呼ぶサブルーチンか、`ENDP` に届かない `CALLSUB` があります。");
  }

  std::string NoLabel(std::string_view name) {
    std::vector<std::string_view> labels;
    for (std::int32_t i = 0; i < rt_.program.LblCount(); ++i) {
      const Label& label = rt_.program.LabelAt(i);
      if (label.entry > 0) labels.push_back(label.Name());
    }
    if (const auto near = NearestName(name, labels)) {
      hint_ = EqualsIgnoringCase(*near, name)
                  ? S("labels named in `goto` and `CALLSUB` are case-sensitive: did you mean `:{}`?",
                      "`goto` と `CALLSUB` のラベル名は大文字と小文字を区別します。`:{}` のことですか?", {*near})
                  : S("did you mean `:{}`?", "`:{}` のことですか?", {*near});
    } else {
      hint_ = S("define it with a line `:{}`", "`:{}` の行で定義してください。", {name});
    }
    return S("no label `:{}` is defined in this script", "ラベル `:{}` はこのスクリプトに定義されていません。", {name});
  }

  std::string MissingArgument() {
    if (Loading()) return MissingDeclarationParameter();
    if (api_.empty()) {
      return S("an argument is missing or empty", "引数が足りないか空です。");
    }
    const std::string_view arguments = site_.computed_call ? site_.arguments : std::string_view(proc_->text);
    const std::vector<DocumentedArgument> documented = DocumentedArguments(api_);
    const int given = args::ArgCount(arguments);
    auto blank = [&](int n) {
      if (n >= given) return true;
      const std::string_view a = args::ArgText(arguments, n);
      return a.find_first_not_of(" \t") == std::string_view::npos;
    };
    for (std::size_t n = 0; n < documented.size(); ++n) {
      if (documented[n].optional || !blank(static_cast<int>(n))) continue;
      hint_ = S("the reference writes `CALL {} {}`", "リファレンスの書式は `CALL {} {}` です。", {api_, Usage(documented)});
      return S("{} is missing its {} argument, *{}*", "{} の{}番目の引数 *{}* がありません。",
               {Quote(api_), Say(rt_, Ordinal(static_cast<int>(n) + 1), Number(static_cast<long>(n) + 1)),
                text::Utf8ToCp932(documented[n].name)});
    }
    if (!documented.empty()) {
      hint_ = S("the reference writes `CALL {} {}`", "リファレンスの書式は `CALL {} {}` です。", {api_, Usage(documented)});
    }
    return S("{} is missing an argument, or one of them is empty", "{} の引数が足りないか、空の引数があります。",
             {Quote(api_)});
  }

  static std::string Usage(const std::vector<DocumentedArgument>& documented) {
    std::string out;
    for (std::size_t n = 0; n < documented.size(); ++n) {
      if (n > 0) out += documented[n].optional ? "[, " : ", ";
      else if (documented[n].optional) out += '[';
      out += text::Utf8ToCp932(documented[n].name);
      if (documented[n].optional) out += ']';
    }
    return out;
  }

  std::string MissingDeclarationParameter() {
    if (Is("Data")) {
      const std::string_view type = Word(0);
      if (EqualsIgnoringCase(type, "long") || EqualsIgnoringCase(type, "double")) {
        return S("`Data {}` needs an initial value: `Data {} {} 0`", "`Data {}` には初期値が必要です: `Data {} {} 0`",
                 {type, type, Word(1)});
      }
      return S("`Data {}` is missing a parameter", "`Data {}` のパラメータが足りません。", {type});
    }
    if (keyword_.starts_with("Make") || keyword_.starts_with("make")) {
      return S("{} needs x, y, width and height after the name: `{} {} 10, 10, 100, 30`",
               "{} には名前の後に x, y, 幅, 高さ が必要です: `{} {} 10, 10, 100, 30`",
               {Quote(keyword_), keyword_, Word(0)});
    }
    return S("a parameter is missing or empty", "パラメータが足りないか空です。");
  }

  // The expression of the failing statement, prepared or as written.
  std::string_view ExpressionText() const {
    if (!Loading()) return proc_ != nullptr ? std::string_view(proc_->text) : site_.arguments;
    std::string_view line = site_.statement;
    const std::size_t eq = line.find('=');
    if (Is("If") || Is("while")) return line.substr(keyword_end_);
    if (eq != std::string_view::npos) return line.substr(eq + 1);
    return line.substr(keyword_end_);
  }

  std::string Expression() {
    const std::string_view t = ExpressionText();
    int depth = 0;
    for (const char c : t) {
      if (c == '(') ++depth;
      if (c == ')' && --depth < 0) {
        return S("a `)` has no `(` before it", "`)` に対応する `(` がありません。");
      }
    }
    std::vector<std::string_view> functions(kFunctions.begin(), kFunctions.end());
    std::size_t pos = 0;
    bool division = false;
    while (pos < t.size()) {
      const char c = t[pos];
      if (c == '/') division = true;
      if (c == '=' && (pos + 1 >= t.size() || t[pos + 1] != '=')) {
        return S("a single `=` cannot stand in an expression: compare with `==`",
                 "式の中に `=` は単独で書けません。比較は `==` です。");
      }
      if (c == '!' && (pos + 1 >= t.size() || t[pos + 1] != '=')) {
        return S("`!` alone is no operator: write `!=`, or `== 0` for \"not\"",
                 "`!` 単独は演算子ではありません。`!=` か、否定なら `== 0` と書きます。");
      }
      if (c == '"' && api_.empty()) {
        return S("a numeric expression cannot hold a text in double quotes", "数式に二重引用符の文字列は書けません。");
      }
      if (c == '"') {  // a text argument of a function: passed over
        for (++pos; pos < t.size() && t[pos] != '"'; ++pos) {
          if (t[pos] == '\\') ++pos;
        }
        ++pos;
        continue;
      }
      if (c == ',') {
        ++pos;
        continue;
      }
      if (rules::IsDigit(c) || c == '\'') {
        const rules::Literal lit = rules::ScanLiteral(t, pos);
        if (!lit.ok) return S("a number in the expression is not written correctly", "式の数値の書き方が正しくありません。");
        pos = std::max(lit.end, pos + 1);
        continue;
      }
      if (rules::EndsName(c) || c == '+' || c == '-' || static_cast<unsigned char>(c) < 0x20) {
        ++pos;
        continue;
      }
      const std::size_t end = rules::NameEnd(t, pos);
      const std::string_view name = t.substr(pos, end - pos);
      pos = end;
      const std::size_t after = rules::SkipBlanks(t, pos);
      if (after < t.size() && t[after] == '(') {
        if (rules::LookupFunction(name) == rules::Function::kUnknown) {
          if (const auto near = NearestName(name, functions)) hint_ = S("did you mean {}?", "{} のことですか?", {Quote(*near)});
          return S("{} is not a function of expressions (sqrt, abs, round, int, sin, cos, tan, asin, acos, "
                   "atan, exp, log)",
                   "{} は式の関数ではありません(sqrt, abs, round, int, sin, cos, tan, asin, acos, atan, exp, log)。",
                   {Quote(name)});
        }
        continue;
      }
      if (name.size() > static_cast<std::size_t>(NAME_MAX_BYTES)) {
        return S("{} is longer than a name can be (31 bytes)", "{} は名前の長さ(31バイト)を超えています。", {Quote(name)});
      }
      if (rt_.program.FindResource(name) < 0) {
        hint_ = ResourceHint(name, Guess::kNumber);
        return S("the expression names {}, which is not declared", "式の {} は宣言されていません。", {Quote(name)});
      }
    }
    if (division && !Loading()) {
      return S("a division by zero (a divisor nearer to 0 than 1e-20)", "0 による割り算です(除数が 1e-20 より 0 に近い)。");
    }
    return S("the expression cannot be evaluated: look at its operators and parentheses",
             "式を計算できません。演算子と括弧を確かめてください。");
  }

  const Runtime& rt_;
  const ErrorSite& site_;
  const Procedure* proc_ = nullptr;
  std::string_view keyword_;
  std::size_t keyword_end_ = 0;
  std::string_view api_;
  std::string hint_;
};

}  // namespace

std::string Say(const Runtime& rt, std::string_view english, std::string_view japanese,
                std::initializer_list<std::string_view> args) {
  const std::string pattern = text::Utf8ToCp932(rt.diagnostics.language == ExplainLanguage::kJapanese ? japanese : english);
  std::string out;
  out.reserve(pattern.size() + 32);
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' && next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string ScriptDisplayName(const Runtime& rt, std::string_view path) {
  const Diagnostics& d = rt.diagnostics;
  if (!d.stdin_script.empty() && path == d.stdin_script) return STDIN_SCRIPT_NAME;
  std::string base = d.start_dir;
  if (!base.empty() && base.back() != '/') base += '/';
  if (!base.empty() && path.size() > base.size() && path.starts_with(base)) {
    return std::string(path.substr(base.size()));
  }
  return std::string(path);
}

std::string ScriptLocation(const Runtime& rt, std::int32_t line) {
  std::string out = ScriptDisplayName(rt, rt.startup.script_path);
  out += ':';
  out += std::to_string(static_cast<long>(line));
  return out;
}

std::string ExplainError(const Runtime& rt, const ErrorSite& site) { return Explainer(rt, site).Run(); }

void ShowExplainedError(Runtime& rt, std::string_view caption, std::string_view text, const ErrorSite& site) {
  rt.window->ShowExplainedMessage(caption, text, ExplainError(rt, site));
}

void NoteAtLine(Runtime& rt, std::int32_t line, std::string_view text) {
  std::string out = ScriptLocation(rt, line);
  out += ": ";
  out += text;
  rt.window->ShowNote(out);
}

namespace {

char Same(char c, bool fold) { return fold ? Lower(c) : c; }

// Optimal string alignment over three rows.
std::size_t Distance(std::string_view a, std::string_view b, bool fold) {
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = Same(a[i - 1], fold) == Same(b[j - 1], fold) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && Same(a[i - 1], fold) == Same(b[j - 2], fold) &&
          Same(a[i - 2], fold) == Same(b[j - 1], fold)) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[b.size()];
}

}  // namespace

std::size_t NameDistance(std::string_view a, std::string_view b) { return Distance(a, b, true); }

std::optional<std::string_view> NearestName(std::string_view name, std::span<const std::string_view> candidates) {
  if (name.empty()) return std::nullopt;
  const std::size_t limit = std::clamp<std::size_t>(name.size() / 3, 1, kNearestDistanceMax);
  std::optional<std::string_view> best;
  std::size_t best_distance = limit + 1;
  std::size_t best_exact = 0;  // the distance with letter case counted
  for (const std::string_view candidate : candidates) {
    if (candidate.empty()) continue;
    if (candidate == name) return std::nullopt;
    const std::size_t d = NameDistance(name, candidate);
    if (d > limit || d > best_distance) continue;
    const std::size_t exact = Distance(name, candidate, false);
    if (d < best_distance || exact < best_exact) {
      best = candidate;
      best_distance = d;
      best_exact = exact;
    }
  }
  return best;
}

std::string Ordinal(int n) {
  const int tens = n % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    switch (n % 10) {
      case 1: suffix = "st"; break;
      case 2: suffix = "nd"; break;
      case 3: suffix = "rd"; break;
      default: break;
    }
  }
  return std::to_string(n) + suffix;
}

}  // namespace vx::engine
