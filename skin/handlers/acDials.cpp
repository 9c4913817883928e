#include "skin/handlers/acDials.h"

// Filled later with the window handlers (see the header).
bool SkinNewTopWindow(HWND Wnd, void* Info) {
  (void)Wnd;
  (void)Info;
  return false;
}

std::vector<TacProvider*>* HookedProviders = nullptr;

#include <algorithm>

const std::vector<std::wstring>& PopupClassesToSkip() {
  static const std::vector<std::wstring> classes = [] {
    std::vector<std::wstring> v{L"TApplication",         L"TfcPopup",           L"TcxComboBoxPopupWindow",
                                L"TcxCustomPopupWindow", L"TdxPopupEditForm",   L"TcxDateEditPopupWindow",
                                L"TcxGridFilterPopup"};
    std::sort(v.begin(), v.end());
    return v;
  }();
  return classes;
}

bool IsPopupClassToSkip(const std::wstring& ClassName) {
  const auto& v = PopupClassesToSkip();
  return std::binary_search(v.begin(), v.end(), ClassName);
}
