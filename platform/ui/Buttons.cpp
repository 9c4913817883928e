#include "platform/ui/Buttons.h"

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), FGlyph(std::make_unique<TBitmap>()) {}

TBitBtn::~TBitBtn() = default;
