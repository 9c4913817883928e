#include "skin/graphics/sDPI.h"

#include <cstddef>

#include "skin/graphics/acntUtils.h"

int PPIToScaleIndex(unsigned ppi) {
  if (ppi <= 110) return 0;
  if (ppi <= 134) return 1;
  if (ppi <= 170) return 2;
  return 3;
}

int ScaleByPPIIndex(int value, int index) {
  switch (index) {
    case 1: return value + value / 4;
    case 2: return value + value / 2;
    case 3: return value * 2;
    default: return value;
  }
}

int ScaleByPPI(int value, int ppi) {
  // Wrapping like the 32-bit product it stands for, without the undefined behaviour.
  int product = static_cast<int>(static_cast<unsigned>(value) * static_cast<unsigned>(ppi));
  return product / 96;
}

namespace {

bool VersionAtLeast(DWORD major, DWORD minor) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
}

bool ReadNonClientMetrics(NONCLIENTMETRICSW& metrics, unsigned ppi) {
  metrics = NONCLIENTMETRICSW{};
  // Systems before 6.0 reject the size that includes the padded border width.
  metrics.cbSize = VersionAtLeast(6, 0) ? sizeof(NONCLIENTMETRICSW)
                                        : offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  return SystemParametersInfoDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, ppi);
}

}  // namespace

bool IsWin81OrLater() { return VersionAtLeast(6, 3); }

bool SystemParametersInfoDpi(UINT action, UINT param, void* data, unsigned ppi) {
  if (IsWin81OrLater()) {
    if (TSystemParametersInfoForDpi forDpi = SystemParametersInfoForDpiEntry())
      if (forDpi(action, param, data, 0, ppi)) return true;
  }
  return SystemParametersInfoW(action, param, data, 0) != FALSE;
}

int CaptionFontHeight(unsigned ppi) {
  NONCLIENTMETRICSW metrics;
  if (!ReadNonClientMetrics(metrics, ppi)) return 0;
  return metrics.lfCaptionFont.lfHeight < -11 ? metrics.lfCaptionFont.lfHeight : -11;
}

HFONT CreateCaptionFont(unsigned ppi) {
  NONCLIENTMETRICSW metrics;
  if (!ReadNonClientMetrics(metrics, ppi)) return nullptr;
  return CreateFontIndirectW(&metrics.lfCaptionFont);
}
