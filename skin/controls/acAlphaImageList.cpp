#include "skin/controls/acAlphaImageList.h"

void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value) {
  (void)Proc;
  (void)Value;
}

void SetImageListPPI(TComponent* List, int PPI) {
  (void)List;
  (void)PPI;
}

#include <atomic>

#include "skin/graphics/acPNG.h"

namespace {
std::atomic<int> gNextHandle{1};
}

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner), FWidth(AWidth), FHeight(AHeight), FHandle(gNextHandle++) {}

TsAlphaImageList::~TsAlphaImageList() = default;

bool TsAlphaImageList::AddPngStream(TStream& Stream) {
  if (!TPNGGraphic::CanLoad(Stream)) return false;
  const std::int64_t start = Stream.Position();
  std::string bytes(static_cast<std::size_t>(Stream.Size() - start), '\0');
  if (!bytes.empty() && Stream.Read(bytes.data(), static_cast<std::int64_t>(bytes.size())) !=
                            static_cast<std::int64_t>(bytes.size()))
    return false;
  auto item = std::make_unique<TMemoryStream>(std::move(bytes));
  try {
    TPNGGraphic png;
    png.LoadFromStream(*item);
    if (png.Empty()) return false;
  } catch (const std::exception&) {
    return false;
  }
  item->SetPosition(0);
  FItems.push_back(std::move(item));
  return true;
}

void TsAlphaImageList::Clear() {
  FItems.clear();
  FHandle = gNextHandle++;
}
