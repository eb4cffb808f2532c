#include "text/messages.hpp"

#include <array>
#include <mutex>
#include <string>

#include "text/encoding.hpp"

namespace vx::msg {
namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(Id::kCount)> kUtf8 = {
    "計算式エラー",
    "文字列式エラー(対応するリソースがありません[%s])",
    "必要な区切り((+) 又は (,))がありません。",
    "Pパラメータ(コンマ区切り)が足りません。",
    "パラメータ(コンマ区切り)が足りません。",
    "Rパラメータ(コンマ区切り)が足りません。",
    "パラメータエラー(対応するリソースがありません[%s])",
    "引数の文字数が多すぎます。",
    "対応する内部関数がありません。[%s]<3255>",
    "対応する関数がありません",
    "同名リソースが定義されました。",
    "パラメータの数が足りません",
    "パラメータが足りません",
    "対応するリソースがありません",
    "対応するリソース(FILE)がありません",
    "リンクするリソースがありません",
    "左辺がリソースではありません",
    "ファイルリソースは左辺に指定出来ません。",
    "無効なファイル名です",
    "ラベルがブランクです。",
    "ラベルが長すぎます",
    "リソース名が長すぎます",
    "再定義[%s]",
    "１行の長さ（継続行の合計）が長すぎます。",
    "メモリ確保に失敗しました。",
    "if ブロックのネストは100までです",
    "while ブロックのネストは100までです",
    "予期せぬ else を検出しました",
    "予期せぬ endif を検出しました",
    "予期せぬ break を検出しました",
    "予期せぬ continue を検出しました",
    "予期せぬ endwhile を検出しました",
    "if ブロックがクローズされていません(address = %d)",
    "while ブロックがクローズされていません(address = %d)",
    "Shift-JIS で表せない文字があります",
    "代入文の左辺には指定できません。(%s)",
    "スタックオーバーフロー",
    "対応するラベルがありません[%s]<3311>",
    "対応するラベルがありません[%s]<3346>",
    "対応するラベルがありません[%s]<3399>",
    "対応するラベルがありません[%s]<3420>",
    "必要なファイル(default.vx)が見つかりません。",
    "メッセージ",
    "エラーメッセージ",
    "エラー",
    "ＭＳ 明朝",
    "ＭＳ ゴシック",
    "通信設定不良(2)",
    "error : 使用可能ポートは最大%dです。",
    "MIDI デバイスがありません。[midi.cpp(34)]",
    "オープンエラー[midi.cpp() , default]",
    "オープンエラー[midi.cpp() , MMSYSERR_NOMEM]",
    "オープンエラー[midi.cpp() , MMSYSERR_INVALPARAM]",
    "オープンエラー[midi.cpp() , MMSYSERR_BADDEVICEID]",
    "オープンエラー[midi.cpp() , MMSYSERR_ALLOCATED]",
    "オープンエラー[midi.cpp() , MIDIERR_NODEVICE]",
    "日", "月", "火", "水", "木", "金", "土",
};

std::string Substitute(std::string_view pattern, std::string_view arg) {
  std::string out(pattern);
  for (std::size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == '%' && (out[i + 1] == 's' || out[i + 1] == 'd')) {
      out.replace(i, 2, arg);
      break;
    }
  }
  return out;
}

}  // namespace

// The font names every run sets up, in CP932 already, so that a run that
// draws no Japanese text loads no converter. The tests check them against
// the table.
struct Preconverted {
  Id id;
  std::string_view cp932;
};
constexpr std::array<Preconverted, 2> kPreconverted = {{
    {Id::kFontMincho, "\x82\x6C\x82\x72 \x96\xBE\x92\xA9"},
    {Id::kFontGothic, "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E"},
}};

// Each text is converted on its first use (a run needs a handful of them);
// every text is plain CP932, so conversion cannot fail.
std::string_view Text(Id id) {
  for (const Preconverted& p : kPreconverted) {
    if (p.id == id) return p.cp932;
  }
  static std::array<std::string, kUtf8.size()> converted;
  static std::array<std::once_flag, kUtf8.size()> once;
  const auto i = static_cast<std::size_t>(id);
  std::call_once(once[i], [i] { converted[i] = text::Utf8ToCp932(kUtf8[i]); });
  return converted[i];
}

std::string_view Utf8(Id id) { return kUtf8[static_cast<std::size_t>(id)]; }

std::string Format(Id id, std::string_view arg) { return Substitute(Text(id), arg); }

std::string Format(Id id, long arg) { return Substitute(Text(id), std::to_string(arg)); }

}  // namespace vx::msg
