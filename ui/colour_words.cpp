#include "ui/colour_words.h"

#include <array>
#include <utility>

namespace kuronel {
namespace {

// The fixed colours by their look; the colours of the desktop scheme by the
// part of a window they paint.
constexpr std::array<std::pair<std::string_view, std::string_view>, 52> kWords =
    {{
        {"clBlack", "黒"},
        {"clMaroon", "えび茶"},
        {"clGreen", "緑"},
        {"clOlive", "オリーブ"},
        {"clNavy", "紺"},
        {"clPurple", "紫"},
        {"clTeal", "青緑"},
        {"clGray", "灰色"},
        {"clSilver", "銀色"},
        {"clRed", "赤"},
        {"clLime", "黄緑"},
        {"clYellow", "黄"},
        {"clBlue", "青"},
        {"clFuchsia", "赤紫"},
        {"clAqua", "水色"},
        {"clWhite", "白"},
        {"clMoneyGreen", "薄緑"},
        {"clSkyBlue", "空色"},
        {"clCream", "クリーム色"},
        {"clMedGray", "中間の灰色"},
        {"clActiveBorder", "作業中のウィンドウの枠"},
        {"clActiveCaption", "作業中のタイトルバー"},
        {"clAppWorkSpace", "作業領域の背景"},
        {"clBackground", "デスクトップ"},
        {"clBtnFace", "ボタンの表面"},
        {"clBtnHighlight", "ボタンの明るい縁"},
        {"clBtnShadow", "ボタンの影"},
        {"clBtnText", "ボタンの文字"},
        {"clCaptionText", "タイトルバーの文字"},
        {"clDefault", "既定"},
        {"clGradientActiveCaption", "作業中のタイトルバー（濃淡）"},
        {"clGradientInactiveCaption", "非作業中のタイトルバー（濃淡）"},
        {"clGrayText", "使えない項目の文字"},
        {"clHighlight", "選んだ項目"},
        {"clHighlightText", "選んだ項目の文字"},
        {"clHotLight", "リンクの文字"},
        {"clInactiveBorder", "非作業中のウィンドウの枠"},
        {"clInactiveCaption", "非作業中のタイトルバー"},
        {"clInactiveCaptionText", "非作業中のタイトルバーの文字"},
        {"clInfoBk", "ヒントの背景"},
        {"clInfoText", "ヒントの文字"},
        {"clMenu", "メニュー"},
        {"clMenuBar", "メニューバー"},
        {"clMenuHighlight", "メニューの選んだ項目"},
        {"clMenuText", "メニューの文字"},
        {"clNone", "なし"},
        {"clScrollBar", "スクロールバー"},
        {"cl3DDkShadow", "立体の濃い影"},
        {"cl3DLight", "立体の明るい面"},
        {"clWindow", "ウィンドウの背景"},
        {"clWindowFrame", "ウィンドウの枠線"},
        {"clWindowText", "ウィンドウの文字"},
    }};

}  // namespace

std::string_view ColourWords(std::string_view name) {
  for (const auto& [table_name, words] : kWords)
    if (table_name == name) return words;
  return name;
}

}  // namespace kuronel
