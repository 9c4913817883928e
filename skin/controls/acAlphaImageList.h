#pragma once
// The process-wide registry of skin image lists, as far as the skin manager reaches it so
// far. The image lists themselves come with their own work: until then none is registered.
#include "platform/ui/Controls.h"

// Calls Proc(list, Value) for every registered skin image list.
void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value);
// Sets the pixels per inch of a skin image list.
void SetImageListPPI(TComponent* List, int PPI);

#include <memory>
#include <vector>

#include "platform/runtime/Streams.h"

// An image list of PNG images, kept as the bytes they came from. So far only what the skin
// list's previews need: appending a PNG, the count, an item's bytes, emptying.
class TsAlphaImageList : public TComponent {
public:
  TsAlphaImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TsAlphaImageList() override;
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Images keep their size at every density.
  bool AcceptRescale = false;
  int Count() const { return static_cast<int>(FItems.size()); }
  // The bytes the image at Index came from (positioned at 0 when added).
  TMemoryStream& ImgData(int Index) { return *FItems.at(static_cast<std::size_t>(Index)); }
  // Decodes the PNG that Stream holds from its position; false (nothing added) when the
  // bytes are no PNG or a damaged one.
  bool AddPngStream(TStream& Stream);
  // Empties the list; its handle is made again, so that whoever kept the old one sees a change.
  void Clear();
  int Handle() const { return FHandle; }

private:
  int FWidth, FHeight;
  int FHandle = 0;
  std::vector<std::unique_ptr<TMemoryStream>> FItems;
};
