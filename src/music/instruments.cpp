#include "music/instruments.hpp"

#include <array>
#include <cstdio>
#include <string_view>

#include "text/encoding.hpp"

namespace vx::music {
namespace {

// Names as written in the sources (UTF-8); half-width katakana stay
// half-width, so each converts to single Shift-JIS bytes.
constexpr std::array<std::string_view, kProgramCount> kNames = {
    "ｸﾞﾗﾝﾄﾞ･ﾋﾟｱﾉ[Drm:STD]", "Br.ﾋﾟｱﾉ[Drm:STD2]", "El.ｸﾞﾗﾝﾄﾞ･ﾋﾟｱﾉ", "ﾎﾝｷｰﾄﾝｸ",
    "El.ﾋﾟｱﾉ 1", "El.ﾋﾟｱﾉ 2", "ﾊｰﾌﾟｼｺｰﾄﾞ", "クラビ",
    "セレスタ[Drm:ROOM]", "グロッケン", "Music Box", "Vibes",
    "マリンバ", "Xylophon", "チューブベル", "Dulcimer",
    "DrawOrgn[Drm:Power]", "PercOrgn", "RockOrgn", "ChrcOrgn",
    "ReedOrgn", "Acordion", "ハーモニカ", "TangoAcd",
    "ﾅｲﾛﾝｷﾞﾀｰ[Drm:Eelectronic]", "ｽﾁｰﾙｷﾞﾀｰ[Drm:808/909]", "ｼﾞｬｽﾞｷﾞﾀｰ[Drm:Dance]", "クリーンギター",
    "ミュートギター", "Ovrdrive", "Distortd", "ハーモニックス",
    "ｳｯﾄﾞﾊﾞｽ[Drm:JAZZ]", "FngrBass", "ピックバス", "フレットレス",
    "スラップバス１", "スラップバス２", "SynBass1", "SynBass2",
    "バイオリン", "ビオラ", "チェロ", "コントラバス",
    "TermStrg", "ピチカート", "ハープ", "ティンパニ",
    "StrgEns1[Drm:Orch]", "StrgEns2[Drm:Ethnic]", "SynStrg1", "SynStrg2",
    "AahChoir", "OohChoir", "SynChoir", "ｵｰｹｽﾄﾗﾋｯﾄ",
    "Trumpet[Drm:SFX]", "ﾄﾛﾝﾎﾞｰﾝ[Drm:R FX]", "チューバ", "ﾐｭｰﾄﾄﾗﾝﾍﾟｯﾄ",
    "フレンチホルン", "ﾌﾞﾗｽｾｸｼｮﾝ", "SynBras1", "SynBras2",
    "ソプラノサックス", "アルトサックス", "テノールサックス", "バリトンサックス",
    "オーボエ", "ｲﾝｸﾞﾘｯｼｭﾎﾙﾝ", "バスーン", "クラリネット",
    "ピッコロ", "フルート", "リコーダー", "パンフルート",
    "ボトル", "尺八", "ホイッスル", "オカリナ",
    "SquareLd", "SawLd", "CaliopLd", "ChiffLd",
    "CharanLd", "VoiceLd", "FifthLd", "Bass&Ld",
    "NewAgePd", "WarmPd", "PolySyPd", "ChoirPd",
    "BowedPd", "MetalPd", "HaloPd", "SweepPd",
    "雨", "サウンドトラック", "クリスタル", "アトマスフィア",
    "ブライト", "Goblin", "エコーズ", "SciFi",
    "シタール", "バンジョー", "三味線", "琴",
    "Kalimba", "バグパイプ", "Fiddle", "Shanai",
    "TnkBell", "Agogo", "Stl Drum", "ウッドブロック",
    "太鼓", "メロディータム", "シンセ・タム", "RevCymbl",
    "FretNoiz", "BrthNoiz", "SeaShore", "ﾊﾞｰﾄﾞﾄｩｳｨｰﾄ",
    "テレホン", "ヘリコプター", "アプローズ", "Gunshot",
};

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string InstrumentEntry(int program) {
  if (program < 0 || program >= kProgramCount) return {};
  char number[8];
  std::snprintf(number, sizeof number, "%3d. ", program);
  return number + text::Utf8ToCp932(kNames[static_cast<std::size_t>(program)]);
}

std::string InstrumentListing(std::int32_t program) {
  if (program < 0) return {};
  if (program < kProgramCount) return InstrumentEntry(program) + std::string(kLineEnd);
  std::string all;
  for (int p = 0; p < kProgramCount; ++p) {
    all += InstrumentEntry(p);
    all += kLineEnd;
  }
  return all;
}

}  // namespace vx::music
