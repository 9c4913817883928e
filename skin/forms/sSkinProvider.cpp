#include "skin/forms/sSkinProvider.h"
#include "platform/ui/Forms.h"

TsSkinProvider::TsSkinProvider(TComponent* owner) : TComponent(owner), Form(dynamic_cast<TForm*>(owner)) {}
