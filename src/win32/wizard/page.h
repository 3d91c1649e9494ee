#pragma once
// The base of every wizard page: a child dialog that reports the user's choice to the controller,
// shows texts of the shared language manager and has the accent-coloured strip at the bottom.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/handles.h"
#include "localisation/language_manager.h"
#include "ui/dialog.h"
#include "wizard/button_type.h"

namespace zelvane::win32 {

using ButtonHandler = std::function<void(ButtonType)>;
using ErrorHandler = std::function<void(const std::wstring& title, const std::wstring& text)>;

class IPage : public Dialog, public LocalizedPage {
 public:
  // Registers the page with the language manager; the window is made later by Create(parent).
  IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId);
  ~IPage() override;

  // Called by the controller each time the page becomes current (not for the first page at start-up).
  virtual void OnNavigateToPage() = 0;
  virtual void SetButtonHandler(ButtonHandler handler) = 0;
  virtual void SetErrorHandler(ErrorHandler handler) = 0;
  // Sets the text of every registered control that has a window from the language manager;
  // a key without text leaves the control's text as it is.
  void UpdateTexts() override;
  virtual std::wstring GetName() const = 0;

  // The dialog's control `id` shows the text of `key`. A missing control is kept and ignored.
  void AddLocalizedControl(int id, const std::string& key);

 protected:
  BOOL OnInitDialog() override;
  // The bottom strip in the accent colour; everything else as the dialog layer paints it.
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  // A click on the link control `linkId` opens its URL (web links only). False for any other
  // notification, which the page handles itself.
  static bool OpenClickedLink(const NMHDR* header, int linkId, LRESULT* result);

  struct LocalizedControl {
    HWND control;
    std::string key;
  };

  std::shared_ptr<LanguageManager> m_languageManager;
  std::vector<LocalizedControl> m_localizedControls;
  UniqueBrush m_stripBrush;
  Control m_bottomStrip;
};

}  // namespace zelvane::win32
