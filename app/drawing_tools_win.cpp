#include "app/drawing_tools_win.h"

#include "app/common_controls_win.h"
#include "app/resource_ids.h"
#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr const char* kWindowFont = "MS Sans Serif";
constexpr int kWindowFontSize = 8;

std::wstring Widen(const std::string& text) { return platform::Widen(platform::ShownText(text)); }

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const std::string& face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, &NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

DrawingTools::~DrawingTools() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [color, brush] : brushes_) DeleteObject(brush);
  if (statusImages_) common_controls::DestroyImageList(statusImages_);
}

void DrawingTools::LoadStatusImages(HINSTANCE instance) {
  statusImages_ = common_controls::CreateImageList(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  // The order is the status code: Broken Link, Good Link, Missing Disk; then the clock of a status
  // still being checked.
  for (int resource : {kIconBrokenLink, kIconGoodLink, kIconMissingDisk, kIconChecking}) {
    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON, 16, 16, 0));
    common_controls::AddIcon(statusImages_, icon);
    if (icon) DestroyIcon(icon);
  }
}

TColor DrawingTools::BackgroundOf(const TControl* container) {
  if (container && container->Kind() == ControlKind::kPanel) return static_cast<const TPanel*>(container)->Color();
  return clBtnFace;
}

COLORREF DrawingTools::ColorOf(TColor color) {
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

HBRUSH DrawingTools::BrushFor(TColor color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(ColorOf(color));
  brushes_[color] = brush;
  return brush;
}

std::string DrawingTools::FontFace(const std::string& wanted) {
  auto it = faces_.find(wanted);
  if (it != faces_.end()) return it->second;
  // The design's faces are old bitmap fonts; where one is missing, the nearest font of about
  // the same width, so that captions fit the design's sizes (a condensed face on systems that
  // have only wide ones).
  std::string face = wanted;
  if (!FaceInstalled(face)) {
    face.clear();
    for (const char* candidate :
         {"Microsoft Sans Serif", "Tahoma", "Arial", "Liberation Sans Narrow", "DejaVu Sans Condensed",
          "Liberation Sans"}) {
      if (FaceInstalled(candidate)) {
        face = candidate;
        break;
      }
    }
  }
  faces_[wanted] = face;
  return face;
}

HFONT DrawingTools::FontFor(const TFontSpec& design) {
  const std::string wanted = design.name.empty() ? kWindowFont : design.name;
  const int size = design.size > 0 ? design.size : kWindowFontSize;
  const auto key = std::make_tuple(wanted, size, design.bold, design.italic);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;

  LOGFONTW font{};
  HDC screen = GetDC(nullptr);
  font.lfHeight = -MulDiv(size, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = design.italic ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  const std::string face = FontFace(wanted);
  lstrcpynW(font.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
  HFONT made = CreateFontIndirectW(&font);
  if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_[key] = made;
  return made;
}

