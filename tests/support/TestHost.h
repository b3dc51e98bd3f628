// A fresh in-memory host per test, installed as the host the engine talks to,
// with its options file in a private temporary folder and a scripted dialog
// runner. Derive a fixture from THostTest, or make a TTestHost in a test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/MemoryHost.h"

namespace kel::test {

// A file's bytes; empty when it cannot be read.
std::string Slurp(const std::filesystem::path& Path);

class TTestHost {
 public:
  TTestHost();
  ~TTestHost();
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  TMemoryHost& Host() { return *FHost; }
  TScriptedDialogRunner& Dialogs() { return *FDialogs; }
  // Replaces the options file's text.
  void WriteOptions(const std::string& Text);
  // Sets the current edit view on a caret-marked text ("<a hr|ef>").
  TKelPtr<TMemoryEditView> OpenView(const std::string& Marked, const std::string& FileName = "test.html",
                                    char Marker = '|');
  const std::filesystem::path& Folder() const { return FFolder; }

 private:
  std::filesystem::path FFolder;
  TKelPtr<TMemoryHost> FHost;
  std::shared_ptr<TScriptedDialogRunner> FDialogs;
};

class THostTest : public ::testing::Test {
 protected:
  TTestHost Test;
};

}  // namespace kel::test
