; sentences.sl: the example library of examples/sentences.vx.
; Shift-JIS text, one item a line (see docs/api/sentences.md).
; [band NAME] starts a word list, [template NAME *WEIGHT] a sentence;
; {SLOT} is filled from the band of that name, {SLOT:BAND} from BAND.

[band 場所]
東京
大阪 *2
札幌
那覇

[band 天気]
晴れ *3
くもり *2
雨
雪

[band 時]
明日
あさって
今週末

; A word may hold slots of its own: they are filled afresh each time.
[band 気温]
{高低}めの気温
平年並みの気温 *2

[band 高低]
高
低

[template 予報 *3]
{時}の{場所}は{天気}でしょう。{気温}になる見込みです。

[template 便り]
{場所}から{天気}の便りが届きました。

; The same band twice, through two slots of their own.
[template 移り変わり]
{場所}では{時}、{天気}のち{天気2:天気}。
