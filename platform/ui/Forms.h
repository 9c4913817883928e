#pragma once
// Forms and the application object.
//
// The application owns a hidden top-level window (the owner of every form, so that
// forms get no task-bar button of their own) and runs the message loop. Forms are
// made in code: the constructor builds the components, FormCreate runs after the
// whole object exists (CreateForm calls it), FormDestroy runs before it goes.
#include "platform/ui/Controls.h"
#include <exception>
#include <functional>
#include <memory>
#include <string>

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
enum TPosition { poDesigned, poScreenCenter };

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::wstring ClassName() const override { return L"TForm"; }

  // The size of the client area the window is made with.
  int ClientWidth = 0;
  int ClientHeight = 0;
  // Frame and place of the window, read when it is made.
  TFormBorderStyle BorderStyle = bsSizeable;
  unsigned BorderIcons = biSystemMenu | biMinimize | biMaximize;  // TBorderIcon bits
  TPosition Position = poDesigned;
  TRect ClientRect() const override;

  // The window is made here when it does not exist yet: a form nobody asked for its handle
  // would otherwise stay invisible.
  void Show() {
    SetVisible(true);
    Handle();
  }
  void Hide() { SetVisible(false); }
  // Asks FormCloseQuery, then FormClose; closing the main form ends the application.
  void Close();
  // Destroys the form once the message being handled now (and those before) are done.
  void Release();

  // Runs FormCreate, reporting its exceptions through the application.
  void DoCreate();
  // Runs FormDestroy; called before the object is deleted (TComponent::Free).
  void BeforeDestruction() override;

protected:
  virtual void FormCreate() {}
  virtual void FormCloseQuery(bool& canClose) {}
  virtual void FormClose(TCloseAction& action) {}
  virtual void FormDestroy() {}
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
};

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;
  std::wstring ClassName() const override { return L"TApplication"; }

  // Creates the hidden application window and makes this thread the UI thread.
  void Initialize();
  HWND Handle() const { return FHandle; }
  bool ShowMainForm = true;
  bool MainFormOnTaskBar = false;
  HICON Icon() const;
  void SetIcon(HICON icon);  // the application takes ownership
  // Loads an .ico file as the application icon; false (icon unchanged) when it cannot be read.
  bool LoadIconFromFile(const std::wstring& fileName);

  TForm* MainForm() const { return FMainForm; }
  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    if (!FMainForm) FMainForm = reference;
    reference->DoCreate();
  }

  // Runs the message loop until Terminate (closing the main form).
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void ProcessMessages();

  // The default error report: OnException when set, else a message box with the text.
  void HandleException(std::exception_ptr error);
  void ShowException(const std::exception& error);
  std::function<void(const std::exception&)> OnException;

private:
  static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND FHandle = nullptr;
  HICON FIcon = nullptr;
  bool FOwnIcon = false;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  friend class TForm;
};

// The process's application object.
TApplication& Application();

// Application-level events: the shell places one on its main form and connects nothing.
class TApplicationEvents : public TComponent {
public:
  using TComponent::TComponent;
  std::wstring ClassName() const override { return L"TApplicationEvents"; }
};
