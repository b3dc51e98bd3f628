// The host's dialogs as the value editors use them: create, Execute (modal),
// read the answer. How a dialog is shown is the installed host's business
// (IKelDialogServices): scripted in tests, a prompt in the terminal, a choice
// list in an editor.
//
// Example: TWebColorDlg D; if (D.Execute()) Value = D.GetSelectedColor();  // "#FF0000"
#pragma once

#include <string>

namespace kel {

// Picks a URL for an attribute such as href or src.
class TSelectURLDialog {
 public:
  void SetInitialDir(const std::string& Dir) { FInitialDir = Dir; }
  const std::string& GetInitialDir() const { return FInitialDir; }
  // The file of the module being edited, against which a URL is made relative.
  std::string GetModuleFileName() const;
  bool Execute();
  const std::string& GetPreviewURL() const { return FURL; }

 private:
  std::string FInitialDir;
  std::string FURL;
};

class TWebColorDlg {
 public:
  bool Execute();
  // The colour as the text to write ("#RRGGBB" or a colour name).
  const std::string& GetSelectedColor() const { return FColor; }

 private:
  std::string FColor;
};

class TKelOpenDialog {
 public:
  std::string InitialDir;
  std::string Filter;
  std::string Title;
  bool Execute();
  // The chosen file's full path.
  const std::string& GetFileName() const { return FFileName; }

 private:
  std::string FFileName;
};

// Keyboard state read when asked; false without a host.
bool KelIsControlKeyDown();

}  // namespace kel
