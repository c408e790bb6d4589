#include "app/tooltips_win.h"

#include <commctrl.h>

#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"

namespace {

std::wstring Widen(const std::string& text) { return platform::Widen(platform::ShownText(text)); }

}  // namespace

void Tooltips::Create(HWND owner, HINSTANCE instance) {
  window_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance,
                            nullptr);
  if (window_) SendMessageW(window_, TTM_SETMAXTIPWIDTH, 0, 300);
}

void Tooltips::Add(HWND window, HWND container, UINT id, const RECT* rect, const std::string& text) {
  if (!window_) return;
  std::wstring tip = Widen(text);
  TTTOOLINFOW tool{};
  // The size that every version of the common controls accepts.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_SUBCLASS | (rect ? 0 : TTF_IDISHWND);
  tool.hwnd = container;
  tool.uId = rect ? id : reinterpret_cast<UINT_PTR>(window);
  if (rect) tool.rect = *rect;
  tool.lpszText = tip.data();
  SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltips::Change(HWND window, HWND container, const std::string& text) {
  if (!window_) return;
  std::wstring tip = Widen(text);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = container;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  tool.lpszText = tip.data();
  SendMessageW(window_, TTM_POP, 0, 0);
  SendMessageW(window_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

