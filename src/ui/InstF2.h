// The text viewer's logic class. ShowTextFile reads readme.txt or license.txt beside the program and
// joins the hard-wrapped lines of each paragraph into one memo line, so that the viewer's own word
// wrap reflows the text; list items ("-", "*"), copyright notices and blank lines stay apart. A line
// ends at CR LF or at a lone LF (a lone CR is kept as a character); a last line without a break
// still counts. A missing file shows nothing; a file that exists but cannot be read gives an error
// message and the viewer is not shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Views.h"

namespace corvina {

// The reflow on its own: lines of a text file (without their breaks) to memo lines.
std::vector<std::string> ReflowTextLines(const std::vector<std::string>& lines);
// Splits file content into lines: CR LF or LF ends a line; no final break needed.
std::vector<std::string> SplitTextLines(const std::string& content);

class TInstF2 {
public:
  explicit TInstF2(IFrontEnd& front_end) : view_(front_end.CreateTextViewerView(*this)) {}
  TInstF2(const TInstF2&) = delete;
  TInstF2& operator=(const TInstF2&) = delete;

  ITextViewerView& View() { return *view_; }

  // Kind 1 the description (readme.txt), kind 2 the licence (license.txt), others nothing.
  void ShowTextFile(int32_t kind);
  void FormShow() {}
  // Esc (27) closes the viewer.
  void FormKeyPress(char& key) {
    if (key == 27) view_->Hide();
  }

private:
  std::unique_ptr<ITextViewerView> view_;
};

extern TInstF2* InstF2;

}  // namespace corvina
