// libFuzzer target: any bytes through the packed skin reader and the preview lookup.
#include "skin/manager/acPackedSkin.h"
#include "platform/runtime/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (SetPackedSkinErrorHandler([](TsSkinManager*, const std::wstring&) {}), true);
  (void)quiet;
  TMemoryStream packed(std::string(reinterpret_cast<const char*>(data), size));
  try {
    TacSkinConvertor convertor;
    convertor.PackedData = &packed;
    ReadPackedSkin(convertor, nullptr);
    convertor.PackedData = nullptr;
  } catch (const Exception&) {
  }
  TMemoryStream preview;
  ExtractPreviewImage(preview, packed);
  return 0;
}
