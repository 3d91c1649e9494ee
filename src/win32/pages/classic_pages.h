#pragma once
// The classic branded flow's own pages: a warning before the license page, and after the offers two
// pages of check boxes whose choices go into the record's `classicOptions` (indexes 0-2 and 3-7), from
// which the main installer's "/S /FORCEINSTALL " option code is made. Their texts come from the
// language manager; where a key has no text the template's stays.

#include <array>

#include "wizard/page.h"

namespace zelvane::win32 {

// The base the three share: handlers, the page-coloured brush and the heavy title.
class ClassicPage : public IPage {
 public:
  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }

 protected:
  ClassicPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, int titleId);
  BOOL OnInitDialog() override;
  void Report(ButtonType button) const;

  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_title;
  UniqueBrush m_backgroundBrush;
  UniqueFont m_titleFont;

 private:
  int m_titleId;
};

class WarningPageOstrelClassic : public ClassicPage {
 public:
  explicit WarningPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"WarningPageOstrelClassic"; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  Control m_text;
};

// Check boxes whose states go into `classicOptions` from `firstOption` on when Next is clicked.
template <std::size_t N>
class ClassicOptionsPage : public ClassicPage {
 protected:
  ClassicOptionsPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, int titleId,
                     std::array<int, N> boxes, std::size_t firstOption)
      : ClassicPage(std::move(languageManager), templateId, titleId), m_boxes(boxes), m_firstOption(firstOption) {}
  // Ticks every box.
  BOOL OnInitDialog() override;
  // Next stores the boxes and reports Next; Back reports Back and stores nothing.
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  std::array<int, N> m_boxes;
  std::size_t m_firstOption;
};

class OptionsPageOstrelClassic : public ClassicOptionsPage<3> {
 public:
  explicit OptionsPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"OptionsPageOstrelClassic"; }

 protected:
  BOOL OnInitDialog() override;
};

class ConfigurationsPageOstrelClassic : public ClassicOptionsPage<5> {
 public:
  explicit ConfigurationsPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"ConfigurationsPageOstrelClassic"; }

 protected:
  BOOL OnInitDialog() override;
};

}  // namespace zelvane::win32
