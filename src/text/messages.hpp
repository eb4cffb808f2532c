#pragma once
// Every Japanese text the program shows, in one place. The sources hold them
// as UTF-8; `Text` hands out their exact Shift-JIS bytes, which is what the
// engine stores, compares and shows.
#include <string>
#include <string_view>

namespace vx::msg {

enum class Id {
  // Expressions and arguments
  kExpressionError,          // 計算式エラー
  kStringExprNoResource,     // 文字列式エラー(対応するリソースがありません[%s])
  kStringExprNoSeparator,    // 必要な区切り((+) 又は (,))がありません。
  kIntParamMissing,          // Pパラメータ(コンマ区切り)が足りません。
  kParamMissing,             // パラメータ(コンマ区切り)が足りません。
  kResourceParamMissing,     // Rパラメータ(コンマ区切り)が足りません。
  kParamNoResource,          // パラメータエラー(対応するリソースがありません[%s])
  kArgumentTooLong,          // 引数の文字数が多すぎます。
  kNoInternalFunction,       // 対応する内部関数がありません。[%s]<3255>
  // Loading
  kNoSuchFunction,           // 対応する関数がありません
  kDuplicateResource,        // 同名リソースが定義されました。
  kTooFewWords,              // パラメータの数が足りません
  kParamsTooFew,             // パラメータが足りません
  kNoResource,               // 対応するリソースがありません
  kNoFileResource,           // 対応するリソース(FILE)がありません
  kNoLinkResource,           // リンクするリソースがありません
  kNotAResource,             // 左辺がリソースではありません
  kFileOnLeft,               // ファイルリソースは左辺に指定出来ません。
  kInvalidFileName,          // 無効なファイル名です
  kLabelBlank,               // ラベルがブランクです。
  kLabelTooLong,             // ラベルが長すぎます
  kResourceNameTooLong,      // リソース名が長すぎます
  kLabelRedefined,           // 再定義[%s]
  kLineTooLong,              // １行の長さ（継続行の合計）が長すぎます。
  kOutOfMemory,              // メモリ確保に失敗しました。
  kIfNestTooDeep,            // if ブロックのネストは100までです
  kWhileNestTooDeep,         // while ブロックのネストは100までです
  kUnexpectedElse,           // 予期せぬ else を検出しました
  kUnexpectedEndif,          // 予期せぬ endif を検出しました
  kUnexpectedBreak,          // 予期せぬ break を検出しました
  kUnexpectedContinue,       // 予期せぬ continue を検出しました
  kUnexpectedEndwhile,       // 予期せぬ endwhile を検出しました
  kIfNotClosed,              // if ブロックがクローズされていません(address = %d)
  kWhileNotClosed,           // while ブロックがクローズされていません(address = %d)
  kNoShiftJisForm,           // Shift-JIS で表せない文字があります
  // Running
  kCannotAssign,             // 代入文の左辺には指定できません。(%s)
  kStackOverflow,            // スタックオーバーフロー
  kNoLabelGoto,              // 対応するラベルがありません[%s]<3311>
  kNoLabelCallSub,           // 対応するラベルがありません[%s]<3346>
  kNoLabelIfGoto,            // 対応するラベルがありません[%s]<3399>
  kNoLabelIfCallSub,         // 対応するラベルがありません[%s]<3420>
  // Start-up
  kDefaultScriptMissing,     // 必要なファイル(default.vx)が見つかりません。
  // Captions and names
  kCaptionMessageJa,         // メッセージ
  kCaptionErrorMessageJa,    // エラーメッセージ
  kCaptionErrorJa,           // エラー
  kFontMincho,               // ＭＳ 明朝
  kFontGothic,               // ＭＳ ゴシック
  // Serial ports and MIDI
  kComSettingsBad,           // 通信設定不良(2)
  kComTooManyPorts,          // error : 使用可能ポートは最大%dです。
  kMidiNoDevice,             // MIDI デバイスがありません。[midi.cpp(34)]
  kMidiOpenDefault,          // オープンエラー[midi.cpp() , default]
  kMidiOpenNoMem,
  kMidiOpenInvalParam,
  kMidiOpenBadDeviceId,
  kMidiOpenAllocated,
  kMidiOpenNoDevice,
  // Weekday names, Sunday first
  kSunday, kMonday, kTuesday, kWednesday, kThursday, kFriday, kSaturday,
  kCount
};

// The message's Shift-JIS bytes.
std::string_view Text(Id id);

// The message's UTF-8 text as written in the sources.
std::string_view Utf8(Id id);

// The message with its first "%s" or "%d" replaced by `arg` (Shift-JIS).
std::string Format(Id id, std::string_view arg);
std::string Format(Id id, long arg);

}  // namespace vx::msg
