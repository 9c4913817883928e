#pragma once
// The registry of skinned forms (every form that has a skin provider), the messages that go
// to every form of the application, and the three steps that hold forms still behind covers
// across a skin change and animate them to their new look.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/ui/Controls.h"
#include "skin/graphics/acLayeredAnim.h"

class TForm;
class TsSkinManager;
class TsSkinProvider;

// Appends the form (a form already there is appended again).
void RegisterSkinnedForm(TForm* Form);
// Removes every occurrence of the form: its slot takes the last element, the array shrinks.
void UnregisterSkinnedForm(TForm* Form);
// Forgets every registered form (at process end).
void ClearSkinnedForms();
// The registered forms in registry order.
const std::vector<TForm*>& SkinnedForms();

// Calls Proc for each registered form that is shown, not minimized, not an MDI child, has no
// parent and a window, and whose provider uses Manager; in registry order.
using TacSkinnedFormProc = std::function<void(TsSkinProvider* Provider, void* Data)>;
void ForEachSkinnedForm(TsSkinManager* Manager, const TacSkinnedFormProc& Proc, void* Data = nullptr);

// The message to every form of the application object that is not skinned (and its
// children), then to the skinned ones. Ends at once when receivers free components.
void BroadcastToAppForms(const TMessage& M);
// The message to the registered forms and their children, then to the visible windows of
// the providers the window hook made.
void BroadcastToSkinnedForms(const TMessage& M);
// The providers of the registered forms that use Manager (each once), whatever the forms' state.
std::vector<TsSkinProvider*> ProvidersOfManager(TsSkinManager* manager);

// Before a new skin loads: the covers of the forms are made and the forms marked.
void BeginSkinChangeCovers(TsSkinManager* Manager);
// While the new skin is announced: the covers are shown and the forms' redraw is held off.
void ShowSkinChangeCovers(TsSkinManager* Manager);
// After the announcement: redraw back on, each form animated (Animate) or repainted.
void EndSkinChangeAnimation(TsSkinManager* Manager, bool Animate);

// Runs the per-form transition; AnimateSkinChange by default, another function in tests.
using TacSkinChangeAnimator = std::function<void(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom)>;
void SetSkinChangeAnimator(TacSkinChangeAnimator Animator);

// Value equals one of Values[Lo..Hi]; false when Hi < Lo. Hi past the end means the end.
bool ValueInSlice(std::span<const std::uint32_t> Values, std::uint32_t Value, std::uint8_t Lo, std::uint8_t Hi);

// Ends the covers a skin change began on every path out of it, also by an exception: the
// forms get their redraw back and AnimationInProgress its value from before.
class TacSkinChangeCoversGuard {
public:
  explicit TacSkinChangeCoversGuard(TsSkinManager* Manager) : FManager(Manager) {}
  ~TacSkinChangeCoversGuard();
  TacSkinChangeCoversGuard(const TacSkinChangeCoversGuard&) = delete;
  TacSkinChangeCoversGuard& operator=(const TacSkinChangeCoversGuard&) = delete;
  // Begins the covers (BeginSkinChangeCovers), remembering what to give back.
  void Begin();
  // The regular end (EndSkinChangeAnimation with Animate); nothing when none began.
  void End(bool Animate);
  bool Begun() const { return FBegun; }

private:
  TsSkinManager* FManager;
  bool FBegun = false;
  // Holds AnimationInProgress's value from before the covers began.
  std::optional<TacAnimationGuard> FAnimation;
};
