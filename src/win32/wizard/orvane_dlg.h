#pragma once
// The wizard's only top-level window: hosts the pages, moves between them and runs the orderly
// shut-down.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/configuration_manager.h"
#include "common/handles.h"
#include "ui/dialog.h"
#include "wizard/page.h"
#include "wizard/static_from_image.h"
#include "wizard/wizard_flow.h"

namespace zelvane::win32 {

class ErrorPage;
class LoadingPage;

// "Global\Orvane" + wizard type name + "SingleInstanceMutex".
std::wstring SingleInstanceMutexName(const std::string& wizardTypeName);

// Posted to the dialog once the loading page's offers are in m_offers.
constexpr UINT kLoadCompleteMessage = WM_USER + 3;

class COrvaneDlg : public Dialog {
 public:
  COrvaneDlg();
  ~COrvaneDlg() override;

  void DeleteWorkFolder();

 protected:
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  void OnClose() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  bool CreateInitialPages();
  void CreatePage(IPage* page, const RECT& rect);
  void CreateAndAddPage(std::unique_ptr<IPage> page, const RECT& rect);
  void ShowPage(std::size_t index);
  void ShowError(const std::wstring& title, const std::wstring& text);
  void OnButton(ButtonType type);
  LRESULT OnLoadCompleteMessage(WPARAM wParam, LPARAM lParam);
  // Events 5 for the shown packages and the main product, the bounded wait, the work folder; then
  // the modal loop ends.
  void ShutDown();

  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  // Ends the dialog before it ever showed: the copy leaves nothing behind.
  void Refuse();
  FlowProfile Flow() const;
  void Navigate(const WizardNavigator::Step& step);

  HICON m_hIcon;
  std::vector<std::unique_ptr<IPage>> m_pages;
  std::unique_ptr<ErrorPage> m_errorPage;
  std::shared_ptr<LanguageManager> m_languageManager;
  bool m_errorShown = false;
  std::atomic<bool> m_installing{false};
  Control m_title;
  CStaticFromImage m_logo;
  Control m_headerLine;
  Control m_bottomStrip;
  UniqueBrush m_accentBrush;
  KernelHandle m_instanceMutex;
  std::shared_ptr<ConfigurationManager> m_config;

  // The page area in the dialog's client coordinates.
  RECT m_pageRect{};
  LoadingPage* m_loadingPage = nullptr;
  // Written by the loading page's handler (any thread), read on kLoadCompleteMessage.
  std::mutex m_offersMutex;
  std::vector<std::shared_ptr<Package>> m_offers;
  // The skip settings of m_offers, in page order; the navigator keeps m_offerIndex and the flags.
  std::vector<OfferSkipSettings> m_offerSkips;
  WizardNavigator m_navigator;
};

}  // namespace zelvane::win32
