#include "exif/exif_labels.h"

#include <span>

namespace kuronel {
namespace {

struct CodeLabel {
  uint32_t code;
  std::string_view label;
};

constexpr CodeLabel kCompression[] = {{1, "非圧縮"}, {6, "JPEG"}};

constexpr CodeLabel kPhotometricInterpretation[] = {{2, "RGB"}, {6, "YCbCr"}};

constexpr CodeLabel kResolutionUnit[] = {{2, "inch"}, {3, "cm"}};

constexpr CodeLabel kExposureProgram[] = {
    {1, "マニュアル設定"},     {2, "プログラムAE"},   {3, "絞り優先"},
    {4, "シャッター速度優先"}, {5, "低速プログラム"}, {6, "高速プログラム"},
    {7, "ポートレートモード"}, {8, "風景モード"},
};

constexpr CodeLabel kMeteringMode[] = {
    {0, "不明"},     {1, "平均測光"},     {2, "中央重点"},
    {3, "スポット"}, {4, "多点スポット"}, {5, "マルチセグメント"},
    {6, "部分測光"}, {255, "その他"},
};

constexpr CodeLabel kLightSource[] = {
    {0, "不明"},         {1, "昼光"},         {2, "蛍光灯"},
    {3, "白熱電球"},     {10, "フラッシュ"},  {17, "標準ライトA"},
    {18, "標準ライトB"}, {19, "標準ライトC"}, {20, "D55"},
    {21, "D65"},         {22, "D75"},         {255, "その他"},
};

constexpr CodeLabel kFlash[] = {
    {0, "非発光"},
    {1, "発光(反射検出機構なし)"},
    {5, "発光(反射光未検出)"},
    {7, "発光(反射光検出)"},
};

constexpr CodeLabel kColorSpace[] = {{1, "sRGB"}, {65535, "Uncalibrated"}};

constexpr CodeLabel kSensingMethod[] = {
    {2, "1チップカラーエリアセンサ"}, {3, "2チップカラーエリアセンサ"},
    {4, "3チップカラーエリアセンサ"}, {5, "カラーシークエンシャルエリアセンサ"},
    {7, "トリリニアセンサ"},          {8, "カラーシークエンシャルリニアセンサ"},
};

std::span<const CodeLabel> Rows(LabelTable table) {
  switch (table) {
    case LabelTable::kCompression:
      return kCompression;
    case LabelTable::kPhotometricInterpretation:
      return kPhotometricInterpretation;
    case LabelTable::kResolutionUnit:
      return kResolutionUnit;
    case LabelTable::kExposureProgram:
      return kExposureProgram;
    case LabelTable::kMeteringMode:
      return kMeteringMode;
    case LabelTable::kLightSource:
      return kLightSource;
    case LabelTable::kFlash:
      return kFlash;
    case LabelTable::kColorSpace:
      return kColorSpace;
    case LabelTable::kSensingMethod:
      return kSensingMethod;
  }
  return {};
}

}  // namespace

std::optional<std::string_view> FindLabel(LabelTable table, uint32_t code) {
  for (const CodeLabel& row : Rows(table)) {
    if (row.code == code) return row.label;
  }
  return std::nullopt;
}

std::string_view LabelOf(LabelTable table, uint32_t code) {
  return FindLabel(table, code).value_or(std::string_view());
}

std::optional<uint8_t> OrientationNumber(uint32_t code) {
  if (code > 8) return std::nullopt;
  if (code == 3) return 4;
  if (code == 4) return 3;
  return static_cast<uint8_t>(code);
}

}  // namespace kuronel
