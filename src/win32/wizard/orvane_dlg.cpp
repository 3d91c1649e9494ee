#include "wizard/orvane_dlg.h"

#include <climits>

#include "app/folder_tree.h"
#include "app/system_resources.h"
#include "download/download_manager.h"
#include "pages/classic_pages.h"
#include "pages/download_page.h"
#include "pages/error_page.h"
#include "pages/finish_page.h"
#include "pages/language_page.h"
#include "pages/license_page.h"
#include "pages/loading_page.h"
#include "pages/product_page.h"
#include "pages/welcome_page.h"
#include "resource.h"
#include "telemetry/request_base.h"
#include "wizard/about_dlg.h"

namespace zelvane::win32 {

namespace {

constexpr UINT kMessageBoxStopSystemModal = MB_ICONSTOP | MB_SYSTEMMODAL;  // 0x1010
constexpr UINT kCloseQuestionStyle = MB_OKCANCEL | MB_ICONQUESTION;         // 0x21

std::wstring LoadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

std::wstring SingleInstanceMutexName(const std::string& wizardTypeName) {
  return L"Global\\Orvane" + std::wstring(wizardTypeName.begin(), wizardTypeName.end()) + L"SingleInstanceMutex";
}

COrvaneDlg::COrvaneDlg()
    : Dialog(IDD_ORVANE_DIALOG),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_languageManager(CreateLanguageManager()),
      m_config(ConfigurationManager::Instance()) {}

COrvaneDlg::~COrvaneDlg() {
  // No loading completion may reach this window any more.
  if (m_loadingPage != nullptr) m_loadingPage->SetLoadedHandler(nullptr);
  // GDI+ images must be gone before GDI+ shuts down, which happens after this window.
  m_config->logoImage.reset();
  std::lock_guard<std::mutex> lock(m_offersMutex);
  for (const auto& offer : m_offers) offer->image.reset();
}

BOOL COrvaneDlg::OnInitDialog() {
  if (HMENU menu = ::GetSystemMenu(hwnd(), FALSE)) {
    const std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_instanceMutex.reset(::CreateMutexW(nullptr, TRUE, SingleInstanceMutexName(CompiledProfile().wizardTypeName).c_str()));
  if (m_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    m_instanceMutex.reset();
    ::MessageBoxW(hwnd(), L"Another setup is already running, please close it and try again", L"Error",
                  kMessageBoxStopSystemModal);
    Refuse();
    return FALSE;
  }

  switch (m_config->wizardType) {
    case kWizardDlm:
      ::SetWindowTextW(hwnd(), L"Setup");
      break;
    case kWizardIsv:
      ::SetWindowTextW(hwnd(), (m_config->productTitle + L" ").c_str());
      break;
    default:
      ::MessageBoxW(hwnd(), L"Invalid wizard type", ApplicationName(SystemPlatform().machine).c_str(),
                    kMessageBoxStopSystemModal);
      Refuse();
      return FALSE;
  }

  m_title.Attach(hwnd(), IDC_TITLE);
  m_logo.Attach(hwnd(), IDC_LOGO);
  m_headerLine.Attach(hwnd(), IDC_HEADER_LINE);
  m_bottomStrip.Attach(hwnd(), IDC_BOTTOM_STRIP);
  m_accentBrush.reset(::CreateSolidBrush(m_config->accentColour));
  m_title.SetText(m_config->productTitle);

  (void)CreateInitialPages();

  if (m_config->wizardType == kWizardIsv) {
    ::ShowWindow(m_logo.hwnd(), SW_HIDE);
    m_headerLine.Show(false);
  }
  m_title.Show(false);
  return TRUE;
}

void COrvaneDlg::Refuse() {
  DeleteWorkFolder();
  EndDialog(1);
}

HBRUSH COrvaneDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && control == m_bottomStrip.hwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_accentBrush.get();
  }
  return Dialog::OnCtlColor(dc, control, message);
}

FlowProfile COrvaneDlg::Flow() const {
  return FlowProfile{m_config->wizardType, m_config->brandedFlow, m_config->classicFlow};
}

bool COrvaneDlg::CreateInitialPages() {
  ::GetWindowRect(::GetDlgItem(hwnd(), IDC_PAGE_AREA), &m_pageRect);
  ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&m_pageRect), 2);

  m_errorPage = std::make_unique<ErrorPage>(m_languageManager);
  CreatePage(m_errorPage.get(), m_pageRect);

  if (m_config->brandedFlow) {
    CreateAndAddPage(std::make_unique<LanguagePageOstrel>(m_languageManager), m_pageRect);
  } else {
    CreateAndAddPage(std::make_unique<LanguagePage>(m_languageManager), m_pageRect);
  }
  auto loading = std::make_unique<LoadingPage>(m_languageManager);
  m_loadingPage = loading.get();
  CreateAndAddPage(std::move(loading), m_pageRect);
  HWND dialog = hwnd();
  m_loadingPage->SetLoadedHandler([this, dialog](std::vector<std::shared_ptr<Package>> offers) {
    {
      std::lock_guard<std::mutex> lock(m_offersMutex);
      m_offers = std::move(offers);
    }
    ::PostMessageW(dialog, kLoadCompleteMessage, 0, 0);
  });
  m_navigator.SetPages(InitialPages(Flow()));
  m_navigator.SetOffers(&m_offerSkips);

  m_navigator.Shown(0);
  if (m_pages.empty()) return false;
  ::ShowWindow(m_pages[0]->hwnd(), SW_SHOW);
  ::SetFocus(m_pages[0]->hwnd());
  return true;
}

void COrvaneDlg::CreatePage(IPage* page, const RECT& rect) {
  page->SetBackgroundColour(m_config->backgroundColour);
  (void)page->Create(hwnd());
  page->SetButtonHandler([this](ButtonType type) { OnButton(type); });
  ::ShowWindow(page->hwnd(), SW_HIDE);
  ::SetWindowPos(page->hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void COrvaneDlg::CreateAndAddPage(std::unique_ptr<IPage> page, const RECT& rect) {
  CreatePage(page.get(), rect);
  page->SetErrorHandler([this](const std::wstring& title, const std::wstring& text) { ShowError(title, text); });
  m_pages.push_back(std::move(page));
}

void COrvaneDlg::ShowPage(std::size_t index) {
  if (index >= m_pages.size()) return;
  IPage& page = *m_pages[index];
  ::ShowWindow(page.hwnd(), SW_SHOW);
  ::SetFocus(page.hwnd());
  const std::size_t current = m_navigator.current();
  if (current < m_pages.size() && current != index) ::ShowWindow(m_pages[current]->hwnd(), SW_HIDE);
  m_navigator.Shown(index);
  page.OnNavigateToPage();

  const std::wstring name = page.GetName();
  HMENU menu = ::GetSystemMenu(hwnd(), FALSE);
  if (name == L"DPageDLM" || name == L"DPageISV") {
    if (menu != nullptr) ::RemoveMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  } else if (name == L"FinishPageDLM" || name == L"FinishPageISV") {
    if (menu != nullptr) ::AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
    // Nothing is left to wait for: the window is not minimised any more.
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::OutputDebugStringW((name + L"\n").c_str());
}

void COrvaneDlg::ShowError(const std::wstring& title, const std::wstring& text) {
  const std::size_t current = m_navigator.current();
  if (current < m_pages.size()) ::ShowWindow(m_pages[current]->hwnd(), SW_HIDE);
  m_errorPage->SetError(title, text);
  ::ShowWindow(m_errorPage->hwnd(), SW_SHOW);
  ::SetFocus(m_errorPage->hwnd());
  m_errorShown = true;
  if (HMENU menu = ::GetSystemMenu(hwnd(), FALSE)) ::AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
}

void COrvaneDlg::OnButton(ButtonType type) {
  WizardNavigator::Record record{m_config->offerDeclined, m_config->offerLimit, m_config->offerLimitAdjustment};
  const auto report = [this](std::size_t offer, SkipReason reason) {
    std::shared_ptr<Package> package;
    {
      std::lock_guard<std::mutex> lock(m_offersMutex);
      if (offer < m_offers.size()) package = m_offers[offer];
    }
    if (package) package->SendEvent(2, nlohmann::json{{"13", SkipReasonCode(reason)}});
  };
  const WizardNavigator::Step step = m_navigator.OnButton(type, record, report);
  m_config->offerLimitAdjustment = record.offerLimitAdjustment;
  Navigate(step);
}

void COrvaneDlg::Navigate(const WizardNavigator::Step& step) {
  if (step.createPrimaryPackage) {
    const RequestBase base(*m_config);
    const bool isv = m_config->wizardType == kWizardIsv;
    m_config->primaryPackage =
        isv ? std::make_shared<Package>(base, true, m_config->productId, m_config->cflValue, m_config->productTitle,
                                        m_config->chValue, 0, m_config)
            : std::make_shared<Package>(base, true, L"", L"", L"", L"", 0, m_config);
    m_config->primaryPackage->SendEvent(1);
  }
  switch (step.action) {
    case WizardNavigator::Step::Action::ShowPage:
      ShowPage(step.page);
      break;
    case WizardNavigator::Step::Action::EndDialog:
      // Finish removes the work folder before the wait for the event deliveries.
      if (step.deleteWorkFolder) DeleteWorkFolder();
      // Every way out shuts down alike: no question, but the events, the wait and the work folder.
      ShutDown();
      break;
    case WizardNavigator::Step::Action::None:
      break;
  }
}

LRESULT COrvaneDlg::OnLoadCompleteMessage(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (m_config->closing) return 0;
  (void)m_languageManager->SelectLanguage(m_config->language);

  if (m_config->wizardType == kWizardDlm) {
    m_logo.SetImage(m_config->logoImage);
    ::ShowWindow(m_logo.hwnd(), SW_SHOW);
    m_title.SetText(m_config->productTitle);
    ::SetWindowTextW(hwnd(), (m_config->productTitle + L" Setup").c_str());
    m_title.Show(true);
  }

  const RequestBase base(*m_config);
  const std::wstring& offerId = m_config->wizardType == kWizardDlm ? m_config->productTitle : m_config->productId;
  if (m_config->primaryPackage) {
    m_config->primaryPackage->MakeMainProduct(base, offerId, m_config->cflValue, m_config->productTitle,
                                              m_config->chValue);
  } else {
    m_config->primaryPackage = std::make_shared<Package>(base, true, offerId, m_config->cflValue,
                                                         m_config->productTitle, m_config->chValue, 0, m_config);
  }

  std::vector<std::shared_ptr<Package>> offers;
  {
    std::lock_guard<std::mutex> lock(m_offersMutex);
    offers = m_offers;
  }
  m_offerSkips.clear();
  for (const auto& offer : offers) {
    const auto& cfs = offer->partnerSettings;
    m_offerSkips.push_back(OfferSkipSettings{cfs.mo, cfs.saad, cfs.sied});
  }

  std::vector<PageKind> kinds = m_navigator.pages();
  std::size_t nextOffer = 0;
  for (PageKind kind : PagesAfterLoading(Flow(), offers.size())) {
    switch (kind) {
      case PageKind::WarningClassic:
        CreateAndAddPage(std::make_unique<WarningPageOstrelClassic>(m_languageManager), m_pageRect);
        break;
      case PageKind::License:
        CreateAndAddPage(std::make_unique<LicensePageIsv>(m_languageManager), m_pageRect);
        break;
      case PageKind::Welcome:
        CreateAndAddPage(std::make_unique<WelcomePageIsv>(m_languageManager), m_pageRect);
        break;
      case PageKind::Product:
        CreateAndAddPage(std::make_unique<ProductPage>(m_languageManager, offers[nextOffer++]), m_pageRect);
        break;
      case PageKind::OptionsClassic:
        CreateAndAddPage(std::make_unique<OptionsPageOstrelClassic>(m_languageManager), m_pageRect);
        break;
      case PageKind::ConfigurationsClassic:
        CreateAndAddPage(std::make_unique<ConfigurationsPageOstrelClassic>(m_languageManager), m_pageRect);
        break;
      case PageKind::DownloadIsv: {
        auto download = std::make_unique<DownloadPageIsv>(m_languageManager);
        // The close question while the installers run depends on these.
        download->onInstallStarted = [this] { m_installing = true; };
        download->onInstallFinished = [this] { m_installing = false; };
        CreateAndAddPage(std::move(download), m_pageRect);
        break;
      }
      case PageKind::DownloadDlm:
        CreateAndAddPage(std::make_unique<DownloadPageDlm>(m_languageManager), m_pageRect);
        break;
      case PageKind::FinishIsv:
        CreateAndAddPage(std::make_unique<FinishPageIsv>(m_languageManager), m_pageRect);
        break;
      case PageKind::FinishDlm:
        CreateAndAddPage(std::make_unique<FinishPageDlm>(m_languageManager), m_pageRect);
        break;
      default:
        continue;
    }
    kinds.push_back(kind);
  }
  m_navigator.SetPages(std::move(kinds));

  OnButton(ButtonType::Next);
  return 0;
}

void COrvaneDlg::OnClose() {
  const auto question =
      CloseQuestion(m_errorShown, m_navigator.current(), m_pages.size(), m_installing.load());
  if (question) {
    const std::wstring text = m_languageManager->GetText(*question);
    if (::MessageBoxW(hwnd(), text.c_str(), L"", kCloseQuestionStyle) != IDOK) return;
  }
  ShutDown();
}

void COrvaneDlg::ShutDown() {
  m_instanceMutex.reset();
  ::ShowWindow(hwnd(), SW_HIDE);
  m_config->closing = true;
  DownloadManager::Instance()->cancelled = true;
  if (m_loadingPage != nullptr) m_loadingPage->SetLoadedHandler(nullptr);

  std::vector<std::shared_ptr<Package>> packages = m_config->shownPackages;
  for (const auto& package : packages) package->SendEvent(5);
  if (m_config->primaryPackage) {
    m_config->primaryPackage->SendEvent(5);
    packages.push_back(m_config->primaryPackage);
  }
  // At most kShutdownEventWaitMs over all packages; deliveries still running then are abandoned.
  (void)WaitForEventDeliveries(packages, kShutdownEventWaitMs);

  DeleteWorkFolder();
  EndDialog(IDCANCEL);
}

void COrvaneDlg::DeleteWorkFolder() {
  if (!m_config->workFolder.empty()) DeleteFolderTree(m_config->workFolder);
}

bool COrvaneDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
      OnSysCommand(static_cast<UINT>(wParam), lParam);
      *result = 0;
      return true;
    case WM_PAINT:
      if (!::IsIconic(hwnd())) return false;
      OnPaint();
      *result = 0;
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    case kLoadCompleteMessage:
      *result = OnLoadCompleteMessage(wParam, lParam);
      return true;
    default:
      return false;
  }
}

void COrvaneDlg::OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) {
  CAboutDlg about(m_config->programVersion);
  about.DoModal(hwnd());
}

void COrvaneDlg::OnPaint() {
  // Minimised: draw the icon centred in the client area.
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd(), &paint);
  ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(hwnd(), &paint);
}

}  // namespace zelvane::win32
