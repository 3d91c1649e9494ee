// The first pages of the wizard created for real in this process: their templates, the texts the
// language manager gives them, language switches, links and pictures.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <richedit.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/configuration_manager.h"
#include "app/system_resources.h"
#include "content_service.h"
#include "download/installer.h"
#include "offers/package.h"
#include "pages/classic_pages.h"
#include "pages/download_page.h"
#include "pages/finish_page.h"
#include "pages/language_page.h"
#include "pages/license_page.h"
#include "pages/product_page.h"
#include "pages/welcome_page.h"
#include "resource.h"
#include "ui/controls.h"
#include "window_watch.h"
#include "wizard/static_from_image.h"

namespace zelvane {
namespace {

using testing::WindowText;

// GDI+ and the rich edit library, as the program's start-up provides them.
class PageEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    ASSERT_NE(::LoadLibraryW(L"RICHED32.DLL"), nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PageEnvironment);

// Message boxes of the language manager are recorded instead of shown: a test must not block.
class RecordingUserInterface : public UserInterface {
 public:
  int ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown.push_back(text);
    return mb::kIdOk;
  }
  std::vector<std::wstring> shown;

 private:
  std::mutex mutex_;
};

// The main dialog's frame without its controller, as the parent of the pages.
class HostDialog : public win32::Dialog {
 public:
  HostDialog() : Dialog(IDD_ORVANE_DIALOG) {}
};

// Sets a field of the process-wide record for one test.
template <typename T>
class Override {
 public:
  Override(T& field, T value) : field_(field), saved_(field) { field_ = std::move(value); }
  ~Override() { field_ = saved_; }

 private:
  T& field_;
  T saved_;
};

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Create(nullptr));
    ::GetWindowRect(::GetDlgItem(host.hwnd(), IDC_PAGE_AREA), &pageArea);
    ::MapWindowPoints(nullptr, host.hwnd(), reinterpret_cast<POINT*>(&pageArea), 2);
    ::ShowWindow(host.hwnd(), SW_SHOW);
  }
  void TearDown() override { EXPECT_EQ(ui.shown, std::vector<std::wstring>{}) << "no message box"; }

  std::shared_ptr<LanguageManager> NewLanguageManager() {
    return std::make_shared<LanguageManager>(config, platform, resources, locale);
  }
  // A manager with English chosen, as the language page leaves it.
  std::shared_ptr<LanguageManager> EnglishLanguageManager() {
    auto manager = NewLanguageManager();
    (void)manager->FillLanguageList();
    EXPECT_TRUE(manager->SelectLanguage(L"English"));
    return manager;
  }

  // Creates the page as the controller does: a hidden child in the page area on the background
  // colour, then shown.
  void Place(win32::IPage& page) {
    page.SetBackgroundColour(config->backgroundColour);
    ASSERT_TRUE(page.Create(host.hwnd()));
    ::SetWindowPos(page.hwnd(), nullptr, pageArea.left, pageArea.top, pageArea.right - pageArea.left,
                   pageArea.bottom - pageArea.top, SWP_NOZORDER | SWP_SHOWWINDOW);
  }

  std::wstring Text(win32::IPage& page, int id) { return WindowText(::GetDlgItem(page.hwnd(), id)); }

  void Choose(win32::IPage& page, int item) {
    HWND combo = ::GetDlgItem(page.hwnd(), IDC_LANGUAGE_COMBO);
    ::SendMessageW(combo, CB_SETCURSEL, item, 0);
    ::SendMessageW(page.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  }

  std::shared_ptr<ConfigurationManager> config = ConfigurationManager::Instance();
  RecordingUserInterface ui;
  Platform platform{SystemPlatform().machine, SystemPlatform().registry, ui, SystemPlatform().text,
                    SystemPlatform().digests, SystemPlatform().transport};
  win32::SystemResources resources;
  win32::SystemLocale locale;
  HostDialog host;
  RECT pageArea{};
};

TEST_F(PagesTest, ALanguageSwitchReachesEveryPageThatIsStillThere) {
  Override<bool> plain(config->brandedFlow, false);
  Override<std::wstring> language(config->language, L"");
  Override<std::wstring> code(config->languageCode, L"");
  auto manager = NewLanguageManager();
  win32::LanguagePage languagePage(manager);
  auto welcome = std::make_unique<win32::WelcomePageIsv>(manager);
  win32::LicensePageIsv license(manager);
  Place(languagePage);
  Place(*welcome);
  Place(license);

  HWND combo = ::GetDlgItem(languagePage.hwnd(), IDC_LANGUAGE_COMBO);
  EXPECT_TRUE(::IsWindowVisible(combo));
  ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(config->language, L"English");
  EXPECT_EQ(config->languageCode, L"en_US");
  EXPECT_EQ(Text(languagePage, IDC_SPLASH_TEXT), L"To continue, please select your preferred language, and click \"Next\".");
  EXPECT_EQ(Text(*welcome, IDC_WELCOME_TEXT), L"This will install Zelvane Web on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(Text(*welcome, IDC_PRODUCT_TITLE), L"Zelvane Web");
  EXPECT_EQ(Text(license, IDC_AGREE), L"Agree");
  // The plain flow has no fragment: keys without text keep the templates' texts.
  EXPECT_EQ(Text(license, IDC_LICENSE_TITLE), L"LICENSE_TITLE placeholder");
  EXPECT_EQ(Text(license, IDC_LICENSE_LINKS), L"LICENSE_LINKS placeholder");

  Choose(languagePage, 1);
  EXPECT_EQ(config->language, L"espa\u00F1ol");
  EXPECT_EQ(config->languageCode, L"es");
  EXPECT_EQ(Text(languagePage, IDC_NEXT), L"Siguiente");
  EXPECT_EQ(Text(languagePage, IDC_SPLASH_TEXT), L"Para continuar, seleccione su idioma preferido y haga clic en \"Siguiente\".");
  EXPECT_EQ(Text(*welcome, IDC_NEXT), L"Siguiente");
  EXPECT_EQ(Text(*welcome, IDC_WELCOME_TITLE), L"Bienvenido a");
  EXPECT_EQ(Text(license, IDC_AGREE), L"Agree") << "Spanish has no BUTTON_AGREE: the earlier text stays";
  EXPECT_EQ(Text(license, IDC_BACK), L"Back");
  EXPECT_EQ(Text(*welcome, IDC_LICENSE_LINK), L"SDK License") << "no SDK_LINK in Spanish either";

  // A page that is gone is no longer refreshed; the others still are.
  welcome.reset();
  EXPECT_EQ(manager->pages.size(), 2u);
  Choose(languagePage, 0);
  EXPECT_EQ(Text(languagePage, IDC_NEXT), L"Next");
  EXPECT_EQ(Text(license, IDC_BACK), L"Back");
}

TEST_F(PagesTest, BrandedLanguagePageHidesTheChoiceAndReportsNext) {
  auto manager = NewLanguageManager();
  win32::LanguagePageOstrel page(manager);
  std::vector<ButtonType> reported;
  page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
  Place(page);

  EXPECT_EQ(page.GetName(), L"LanguagePageOstrel");
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page.hwnd(), IDC_LANGUAGE_COMBO)));
  EXPECT_EQ(Text(page, IDC_SPLASH_TITLE_OSTREL), L"Welcome to Zelvane Web\u00AE Setup Wizard");
  EXPECT_EQ(Text(page, IDC_SPLASH_TEXT_OSTREL), L"Click \"Next\" to continue.");
  EXPECT_EQ(LOWORD(::SendMessageW(page.hwnd(), DM_GETDEFID, 0, 0)), IDC_NEXT);
  testing::ClickButton(page.hwnd(), IDC_NEXT);
  EXPECT_EQ(reported, std::vector<ButtonType>{ButtonType::Next});
}

TEST_F(PagesTest, LicensePageShowsTheAgreementAndLinksTheDisclaimer) {
  auto manager = NewLanguageManager();
  win32::LanguagePageOstrel languagePage(manager);
  win32::LicensePageIsv page(manager);
  std::vector<ButtonType> reported;
  page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
  Place(languagePage);
  Place(page);

  EXPECT_EQ(page.GetName(), L"LicensePage");
  EXPECT_EQ(Text(page, IDC_LICENSE_TITLE), L"License Agreement and Privacy Policy");
  EXPECT_EQ(Text(page, IDC_LICENSE_EULA).rfind(L"ZELVANE WEB END USER LICENSE AGREEMENT", 0), 0u);
  const std::wstring links = L"By clicking \"Accept\", acknowledge that you have read and agreed to the <a href=\"" +
                             config->termsUrl + L"\">Terms</a> and <a href=\"" + config->privacyUrl +
                             L"\">Privacy Policy</a>.";
  EXPECT_EQ(Text(page, IDC_LICENSE_LINKS), links);
  // The link control's own parse is not checked here: under Wine with the prefix's fonts every face
  // reports break character 33, and Wine's SysLink then takes no "<a href=…>" tag for a link.

  // Another language selection fills the disclaimer's addresses again.
  ASSERT_TRUE(manager->SelectLanguage(L"English"));
  EXPECT_EQ(Text(page, IDC_LICENSE_LINKS), links);

  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(::GetDlgItem(page.hwnd(), IDC_LICENSE_TITLE), WM_GETFONT, 0, 0)),
               sizeof font, &font);
  EXPECT_EQ(font.lfHeight, 12);
  EXPECT_EQ(font.lfWeight, 1000);

  testing::ClickButton(page.hwnd(), IDC_AGREE);
  testing::ClickButton(page.hwnd(), IDC_BACK);
  EXPECT_EQ(reported, (std::vector<ButtonType>{ButtonType::Next, ButtonType::Back}));
}

TEST_F(PagesTest, LicenseTextUnderlinesAddresses) {
  auto manager = NewLanguageManager();
  win32::LicensePageIsv page(manager);
  Place(page);
  HWND edit = ::GetDlgItem(page.hwnd(), IDC_LICENSE_EULA);
  ::SetWindowTextW(edit, L"Read more at https://www.zelvane.test/legal/ today.");
  CHARRANGE range{15, 20};
  ::SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  ::SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  EXPECT_TRUE(format.dwEffects & CFE_LINK);
}

TEST_F(PagesTest, WelcomePageShowsTheLinksThatHaveAddresses) {
  Override<bool> plain(config->brandedFlow, false);
  auto manager = NewLanguageManager();
  win32::LanguagePage languagePage(manager);
  Place(languagePage);

  struct Case {
    std::wstring licenseUrl;
    bool licenseLinkShown;
  };
  for (const Case& c : {Case{L"", false}, Case{L"https://www.zelvane.test/sdk/", true}}) {
    Override<std::wstring> licenseUrl(config->licenseUrl, c.licenseUrl);
    win32::WelcomePageIsv page(manager);
    Place(page);
    EXPECT_EQ(page.GetName(), L"WelcomePage");
    HWND privacy = ::GetDlgItem(page.hwnd(), IDC_PRIVACY_LINK);
    HWND terms = ::GetDlgItem(page.hwnd(), IDC_TERMS_LINK);
    EXPECT_TRUE(::IsWindowVisible(privacy));
    EXPECT_TRUE(::IsWindowVisible(terms));
    EXPECT_EQ(::IsWindowVisible(::GetDlgItem(page.hwnd(), IDC_LICENSE_LINK)) != FALSE, c.licenseLinkShown);
    EXPECT_EQ(WindowText(privacy), L"Privacy Policy");
    EXPECT_EQ(WindowText(terms), L"End User License Agreement");

    // Each link is as wide as its text: the shorter text makes the narrower link.
    RECT privacyRect{}, termsRect{};
    ::GetWindowRect(privacy, &privacyRect);
    ::GetWindowRect(terms, &termsRect);
    EXPECT_LT(privacyRect.right - privacyRect.left, termsRect.right - termsRect.left);
    EXPECT_EQ(privacyRect.left, termsRect.left);
  }
}

TEST_F(PagesTest, DlmWelcomePageUsesItsOwnDocumentsAndLinkKey) {
  Override<bool> plain(config->brandedFlow, false);
  Override<int> dlm(config->wizardType, kWizardDlm);
  auto manager = NewLanguageManager();
  win32::LanguagePage languagePage(manager);
  win32::WelcomePageIsv page(manager);
  Place(languagePage);
  Place(page);
  EXPECT_EQ(Text(page, IDC_WELCOME_TEXT), L"This will download Zelvane Web on your computer. Click \"Next\" to continue.");
  // The DLM documents have no "EULA_LINK": the second link shows "TOS_LINK".
  EXPECT_EQ(Text(page, IDC_TERMS_LINK), L"End User License Agreement");
}

TEST(SystemResources, LoadsThisProgramsLocaleDocuments) {
  win32::SystemResources resources;
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(resources.Load(L"LOCALE", IDR_LOCALE_ISV_EN, &bytes), ResourceStatus::kOk);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("<Locale name=\"en_US\">"), std::string::npos);
  EXPECT_EQ(resources.Load(L"LOCALE", 999, &bytes), ResourceStatus::kNotFound);
  EXPECT_EQ(resources.Load(L"NO_SUCH_TYPE", IDR_LOCALE_ISV_EN, &bytes), ResourceStatus::kNotFound);
}

TEST(SystemLocale, NativeNamesOfTheDocumentsLanguages) {
  win32::SystemLocale locale;
  EXPECT_EQ(locale.NativeLanguageName(L"en"), std::optional<std::wstring>(L"English"));
  EXPECT_EQ(locale.NativeLanguageName(L"es"), std::optional<std::wstring>(L"espa\u00F1ol"));
  EXPECT_EQ(locale.NativeLanguageName(L"es-MX"), std::optional<std::wstring>(L"espa\u00F1ol"));
  EXPECT_EQ(locale.NativeLanguageName(L"zz-ZZ"), std::nullopt);
  const auto user = locale.UserDefaultLocaleName();
  ASSERT_TRUE(user.has_value());
  EXPECT_FALSE(user->empty());
}

TEST(WebLinks, OnlyWebAddressesReachTheShell) {
  // Each of these would start a program if it reached ShellExecute.
  for (const wchar_t* url : {L"C:\\windows\\notepad.exe", L"notepad", L"file:///C:/windows/notepad.exe", L""}) {
    EXPECT_FALSE(win32::OpenWebLink(url)) << std::wstring(url).size();
  }
}

// Run by ctest with the user locale of a Mexican Spanish user (LC_ALL=es_MX.UTF-8).
TEST_F(PagesTest, MexicanSpanishUserGetsTheSpanishDocument) {
  ASSERT_EQ(locale.UserDefaultLocaleName(), std::optional<std::wstring>(L"es-MX"));
  Override<bool> plain(config->brandedFlow, false);
  auto manager = NewLanguageManager();
  win32::LanguagePage page(manager);
  Place(page);
  EXPECT_EQ(::SendMessageW(::GetDlgItem(page.hwnd(), IDC_LANGUAGE_COMBO), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(config->languageCode, L"es");
  EXPECT_EQ(Text(page, IDC_NEXT), L"Siguiente");
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH logBrush{};
  return ::GetObjectW(brush, sizeof logBrush, &logBrush) == sizeof logBrush ? logBrush.lbColor : CLR_INVALID;
}

TEST_F(PagesTest, BottomStripHasTheAccentColourAndOtherStaticsThePageColour) {
  auto manager = NewLanguageManager();
  win32::LanguagePageOstrel page(manager);
  Place(page);
  HDC dc = ::GetDC(page.hwnd());
  auto brushFor = [&](int id) {
    return reinterpret_cast<HBRUSH>(::SendMessageW(page.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                   reinterpret_cast<LPARAM>(::GetDlgItem(page.hwnd(), id))));
  };
  EXPECT_EQ(BrushColour(brushFor(IDC_PAGE_STRIP)), config->accentColour);
  EXPECT_EQ(BrushColour(brushFor(IDC_SPLASH_TEXT_OSTREL)), config->backgroundColour);
  ::ReleaseDC(page.hwnd(), dc);
}

TEST_F(PagesTest, StaticFromImageWithoutPictureOrResource) {
  HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 64, 64, host.hwnd(),
                                   reinterpret_cast<HMENU>(4242), ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(control, nullptr);
  win32::CStaticFromImage image;
  image.Attach(host.hwnd(), 4242);
  auto repaint = [&] { ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };

  repaint();  // nothing to draw, and no failure
  EXPECT_EQ(image.image(), nullptr);

  struct Case {
    UINT id;
    const wchar_t* type;
    UINT size;  // 0: no picture
  };
  const Case cases[] = {
      {IDB_PRODUCT_LOGO, L"IMAGE_BLOB", 256}, {999, L"IMAGE_BLOB", 0},       {IDB_SUCCESS, L"IMAGE_BLOB2", 512},
      {IDB_FAILURE, L"IMAGE_BLOB3", 512},     {IDB_PRODUCT_LOGO, L"IMAGE_BLOB3", 0}, {IDR_LOCALE_ISV_EN, L"LOCALE", 0},
  };
  for (const auto& c : cases) {
    image.LoadFromResource(c.id, c.type);
    repaint();
    if (c.size == 0) {
      EXPECT_EQ(image.image(), nullptr) << c.id;
    } else {
      ASSERT_NE(image.image(), nullptr) << c.id;
      EXPECT_EQ(image.image()->GetWidth(), c.size);
      EXPECT_EQ(image.image()->GetHeight(), c.size);
    }
  }

  // What the control shows, read from its window (not the screen, where a window of a test running
  // beside this one may lie on top): the picture stretched over the whole control, or the page colour.
  auto pixel = [&](int x, int y) {
    HDC dc = ::GetDC(control);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(control, dc);
    return colour;
  };
  host.SetBackgroundColour(RGB(255, 255, 255));
  image.LoadFromResource(IDB_FAILURE, L"IMAGE_BLOB3");  // white cross on a red disc, 512 x 512
  repaint();
  ::GdiFlush();
  EXPECT_EQ(pixel(12, 32), RGB(0xD2, 0x3B, 0x30)) << "the disc, scaled down to 64 x 64";
  EXPECT_EQ(pixel(32, 32), RGB(255, 255, 255)) << "the cross at the centre";
  image.LoadFromResource(999, L"IMAGE_BLOB");
  repaint();
  ::GdiFlush();
  EXPECT_EQ(pixel(12, 32), RGB(255, 255, 255)) << "no picture: only the background";
  ::DestroyWindow(control);
}

}  // namespace
}  // namespace zelvane

namespace zelvane {
namespace {

// Not a check: saves a picture of each page, as the wizard shows it, to
// build/test-results/pages/<name>.png for people to look at.
class PageScreenshots : public PagesTest {
 protected:
  static std::wstring OutputFolder() {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module);
    folder.erase(folder.find_last_of(L'\\'));           // build\<preset>\tests
    folder.erase(folder.find_last_of(L'\\'));           // build\<preset>
    folder.erase(folder.find_last_of(L'\\'));           // build
    folder += L"\\test-results";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\pages";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }

  static bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<unsigned char> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
      if (std::wstring(encoders[i].MimeType) == L"image/png") {
        *clsid = encoders[i].Clsid;
        return true;
      }
    }
    return false;
  }

  // Shows only `page` in the host, lets everything paint, and copies the host's client area from
  // the screen.
  void Save(win32::IPage& page, const std::wstring& name) {
    for (HWND child = ::GetWindow(host.hwnd(), GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (::GetWindowLongW(child, GWL_STYLE) & DS_CONTROL) ::ShowWindow(child, child == page.hwnd() ? SW_SHOW : SW_HIDE);
    }
    ::SetWindowPos(host.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(host.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::GdiFlush();

    RECT client{};
    ::GetClientRect(host.hwnd(), &client);
    // The host's own surface, children included: a window of a test running beside this one may
    // lie on top of it on the screen.
    HDC screen = ::GetDC(host.hwnd());
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    CLSID png{};
    ASSERT_TRUE(PngEncoder(&png));
    {
      Gdiplus::Bitmap picture(bitmap, nullptr);
      const std::wstring path = OutputFolder() + L"\\" + name + L".png";
      EXPECT_EQ(picture.Save(path.c_str(), &png, nullptr), Gdiplus::Ok) << name.size();
    }
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(host.hwnd(), screen);
  }
};

TEST_F(PageScreenshots, SavesEachPage) {
  auto manager = NewLanguageManager();
  {
    Override<bool> plain(config->brandedFlow, false);
    Override<std::wstring> licenseUrl(config->licenseUrl, L"https://www.zelvane.test/sdk/");
    auto plainManager = NewLanguageManager();
    win32::LanguagePage language(plainManager);
    win32::WelcomePageIsv welcome(plainManager);
    Place(language);
    Place(welcome);
    Save(language, L"language-plain");
    Save(welcome, L"welcome");
    Choose(language, 1);
    Save(language, L"language-plain-es");
    Save(welcome, L"welcome-es");
  }
  win32::LanguagePageOstrel language(manager);
  win32::LicensePageIsv license(manager);
  Place(language);
  Place(license);
  Save(language, L"language-branded");
  Save(license, L"license");

  // An offer with a picture of its own size and a long name.
  Override<int> offerCount(config->offerCount, 2);
  auto offer = std::make_shared<Package>(
      RequestBase(*config),
      nlohmann::json{{"ad", {{"o", "screenshot"}, {"f", "feed"}}},
                     {"ps",
                      {{"i", "i.png"},
                       {"dn", "Partner Browser Toolbar"},
                       {"u", "https://cdn.partner-a.test/a.exe"},
                       {"cp", "https://partner.test/privacy"},
                       {"ctu", "https://partner.test/eula"}}}},
      false, "", 0, config);
  offer->image = std::make_shared<Gdiplus::Bitmap>(624, 320, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics graphics(offer->image.get());
    Gdiplus::SolidBrush sky(Gdiplus::Color(255, 0x3A, 0x7B, 0xD5));
    Gdiplus::SolidBrush sun(Gdiplus::Color(255, 0xF5, 0xC5, 0x18));
    graphics.FillRectangle(&sky, 0, 0, 624, 320);
    graphics.FillEllipse(&sun, 240, 80, 144, 144);
  }
  win32::ProductPage product(manager, offer);
  win32::DownloadPageIsv downloadIsv(manager);
  win32::FinishPageIsv finishIsv(manager);
  win32::WarningPageOstrelClassic warning(manager);
  win32::OptionsPageOstrelClassic options(manager);
  win32::ConfigurationsPageOstrelClassic configurations(manager);
  for (win32::IPage* page : std::initializer_list<win32::IPage*>{&product, &downloadIsv, &finishIsv, &warning,
                                                                  &options, &configurations}) {
    Place(*page);
  }
  ::SendDlgItemMessageW(downloadIsv.hwnd(), IDC_PROGRESS_BAR, PBM_SETPOS, 40, 0);
  Save(product, L"product");
  Save(downloadIsv, L"download-isv");
  Save(finishIsv, L"finish-isv");
  Save(warning, L"classic-warning");
  Save(options, L"classic-options");
  Save(configurations, L"classic-configurations");

  Override<int> dlm(config->wizardType, kWizardDlm);
  auto dlmManager = EnglishLanguageManager();
  win32::DownloadPageDlm downloadDlm(dlmManager);
  win32::FinishPageDlm finishDlm(dlmManager);
  Place(downloadDlm);
  Place(finishDlm);
  ::SendDlgItemMessageW(downloadDlm.hwnd(), IDC_PROGRESS_BAR, PBM_SETPOS, 75, 0);
  Save(downloadDlm, L"download-dlm");
  Save(finishDlm, L"finish-dlm");
  offer->image.reset();  // before GDI+ goes
}

}  // namespace
}  // namespace zelvane

// The pages after the offers: product, download, finish and the classic flow's option pages.
namespace zelvane {
namespace {

using json = nlohmann::json;

std::wstring ModuleFolder() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder(module);
  return folder.erase(folder.find_last_of(L'\\'));
}

// The fake installer that the test build puts beside the stubs.
std::wstring FakeInstaller() { return ModuleFolder() + L"\\..\\bin\\fake-installer.exe"; }

std::string ReadAll(const std::wstring& path) {
  win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 2]);
    text += kDigits[(chunk >> 18) & 63];
    text += kDigits[(chunk >> 12) & 63];
    text += i + 1 < bytes.size() ? kDigits[(chunk >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
  }
  return text;
}

// Runs the page's messages (timers, progress) until `done`; false when it never came.
template <typename Done>
bool PumpUntil(Done done) {
  const ULONGLONG giveUp = ::GetTickCount64() + 90000;
  while (!done()) {
    if (::GetTickCount64() > giveUp) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return true;
}

// The lines the fake installer appended to its log.
std::vector<json> InstallerStarts(const std::wstring& log) {
  std::vector<json> starts;
  const std::string text = ReadAll(log);
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end > at) starts.push_back(json::parse(text.substr(at, end - at)));
    at = end + 1;
  }
  return starts;
}

// The pages of this part read and write the process's record; each test gets its own folders, lists
// and packages, with their analytics going to the local service.
class LaterPagesTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    const std::wstring base = ModuleFolder() + L"\\later-pages-" + std::to_wstring(::GetCurrentProcessId());
    folder_ = base + L"-" + std::to_wstring(counter_++);
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    installerLog_ = folder_ + L"\\installers.jsonl";
    ::DeleteFileW(installerLog_.c_str());
    ASSERT_TRUE(::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_LOG", installerLog_.c_str()));
    mark_ = test::ContentService::Mark();
  }
  void TearDown() override {
    for (const auto& package : made_) EXPECT_TRUE(WaitForEventDeliveries({package}, 60000));
    ::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_LOG", nullptr);
    PagesTest::TearDown();
  }

  std::shared_ptr<Package> Offer(const std::string& name, json ps = json::object(), int position = 0) {
    const std::string id = "pages-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
    ps.emplace("i", "i.png");
    ps.emplace("dn", name);
    ps.emplace("u", "https://cdn.partner-a.test/a.exe");
    auto package = std::make_shared<Package>(RequestBase(*config), json{{"ad", {{"o", id}, {"f", "feed"}}}, {"ps", ps}},
                                             false, "", position, config);
    made_.push_back(package);
    return package;
  }
  std::shared_ptr<Package> MainProduct() {
    const std::wstring id = L"pages-main-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter_);
    auto package = std::make_shared<Package>(RequestBase(*config), true, id, L"feed", L"Zelvane Web", L"", 0, config);
    // The main product's events name the product, as every test's do: this one is told apart by its own.
    package->offerId = std::string(id.begin(), id.end());
    package->eventRecord["5"] = package->offerId;
    made_.push_back(package);
    return package;
  }
  // The events the service received for the package, in order, as (event, failure text).
  std::vector<std::pair<std::string, std::string>> Events(const std::shared_ptr<Package>& package) {
    EXPECT_TRUE(WaitForEventDeliveries({package}, 60000));
    std::vector<std::pair<std::string, std::string>> events;
    for (const auto& entry : test::ContentService::Log(mark_, "/zbd")) {
      const json& analytics = entry.at("analytics");
      if (analytics.value("package", "") != package->offerId) continue;
      const json& failure = analytics.at("failure");
      events.emplace_back(analytics.value("event", ""), failure.is_string() ? failure.get<std::string>() : "");
    }
    return events;
  }

  static inline int counter_ = 0;
  std::wstring folder_;
  std::wstring installerLog_;
  std::int64_t mark_ = 0;
  std::vector<std::shared_ptr<Package>> made_;
  Override<std::wstring> analytics_{config->analyticsUrl, test::ContentUrl("/zbd")};
  Override<std::vector<std::shared_ptr<Package>>> accepted_{config->acceptedPackages, {}};
  Override<std::vector<std::shared_ptr<Package>>> shown_{config->shownPackages, {}};
  Override<bool> declined_{config->offerDeclined, false};
};

std::wstring Disclaimer(const std::wstring& name, const std::wstring& privacy, const std::wstring& eula) {
  return L"When you click \"Accept\", you agree to the installation of \"" + name +
         L"\" and that you have read the <a href=\"" + privacy + L"\">Privacy Policy</a> and agree to the terms of "
         L"its <a href=\"" + eula + L"\">End User License Agreement</a>. Check \"Add/Remove Programs\" to uninstall.";
}

TEST_F(LaterPagesTest, ProductPageFillsTheDisclaimerAndHidesSkipAllAtTheLastOffer) {
  auto manager = EnglishLanguageManager();
  struct Case {
    std::string name;
    int offerCount;
    int position;
    json mo;  // null: no partner limit
    bool skipAllShown;
    std::wstring disclaimerName;
  };
  const Case cases[] = {
      {"Only", 1, 0, nullptr, false, L"Only"},
      {"Second", 3, 1, 2, false, L"Second"},
      {"Middle", 3, 1, nullptr, true, L"Middle"},
      // The replacements run one after another over the whole text: a placeholder in the name is
      // filled by the later ones.
      {"Name [PACKAGE_PRIVACY_URL]", 3, 0, nullptr, true, L"Name https://partner.test/privacy"},
  };
  for (const Case& c : cases) {
    Override<int> count(config->offerCount, c.offerCount);
    json ps{{"cp", "https://partner.test/privacy"}, {"ctu", "https://partner.test/eula"}};
    if (!c.mo.is_null()) ps.update({{"pn", true}, {"cfs", {{"mo", c.mo}}}});  // limits come with partner mode
    win32::ProductPage page(manager, Offer(c.name, ps, c.position));
    Place(page);
    EXPECT_EQ(page.GetName(), L"ProductPage");
    EXPECT_EQ(Text(page, IDC_ACCEPT), L"Accept");
    EXPECT_EQ(Text(page, IDC_DECLINE), L"Decline");
    EXPECT_EQ(Text(page, IDC_SKIP_ALL), L"Skip All");
    EXPECT_EQ(Text(page, IDC_PRODUCT_DISCLAIMER),
              Disclaimer(c.disclaimerName, L"https://partner.test/privacy", L"https://partner.test/eula"))
        << c.name;
    EXPECT_EQ(::IsWindowVisible(::GetDlgItem(page.hwnd(), IDC_SKIP_ALL)) != FALSE, c.skipAllShown) << c.name;
    // Another language selection fills the disclaimer again.
    ASSERT_TRUE(manager->SelectLanguage(L"English"));
    EXPECT_EQ(Text(page, IDC_PRODUCT_DISCLAIMER),
              Disclaimer(c.disclaimerName, L"https://partner.test/privacy", L"https://partner.test/eula"))
        << c.name;
  }
}

TEST_F(LaterPagesTest, ProductPageRecordsTheChoiceAndSendsDeclines) {
  auto manager = EnglishLanguageManager();
  struct Case {
    int button;
    ButtonType reported;
    bool accepted;
    std::vector<std::pair<std::string, std::string>> events;
  };
  const Case cases[] = {
      {IDC_ACCEPT, ButtonType::Accept, true, {}},
      {IDC_DECLINE, ButtonType::Decline, false, {{"4", ""}}},
      {IDC_SKIP_ALL, ButtonType::SkipAll, false, {{"4", ""}}},
      {IDC_DECLINE, ButtonType::Decline, false, {{"4", ""}}},  // after an earlier decline, too
  };
  int index = 0;
  for (const Case& c : cases) {
    Override<bool> declined(config->offerDeclined, index == 3);
    auto offer = Offer("choice" + std::to_string(index++));
    win32::ProductPage page(manager, offer);
    std::vector<ButtonType> reported;
    page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
    Place(page);
    config->acceptedPackages.clear();
    testing::ClickButton(page.hwnd(), c.button);
    EXPECT_EQ(reported, std::vector<ButtonType>{c.reported});
    EXPECT_EQ(config->acceptedPackages, c.accepted ? std::vector<std::shared_ptr<Package>>{offer}
                                                   : std::vector<std::shared_ptr<Package>>{});
    EXPECT_EQ(config->offerDeclined, !c.accepted || index == 4);
    EXPECT_EQ(Events(offer), c.events) << index;
  }
}

TEST_F(LaterPagesTest, PartnerOfferWritesTheMarkAndIsListedEachTimeItIsShown) {
  const std::string key = "SOFTWARE\\ZelvaneTests\\ProductPage" + std::to_string(::GetCurrentProcessId());
  const std::wstring wideKey(key.begin(), key.end());
  auto manager = EnglishLanguageManager();
  auto partner = Offer("partner", {{"pn", true}, {"pnr", key}});
  auto plain = Offer("plain", {{"pnr", key + "-plain"}});
  win32::ProductPage partnerPage(manager, partner);
  win32::ProductPage plainPage(manager, plain);
  Place(partnerPage);
  Place(plainPage);
  EXPECT_EQ(config->shownPackages.size(), 0u) << "created is not shown";

  partnerPage.OnNavigateToPage();
  plainPage.OnNavigateToPage();
  partnerPage.OnNavigateToPage();  // Back, then Next again
  EXPECT_EQ(config->shownPackages, (std::vector<std::shared_ptr<Package>>{partner, plain, partner}));

  auto readMark = [](const std::wstring& subKey) -> std::optional<DWORD> {
    DWORD data = 0, size = sizeof data;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    const LSTATUS status = ::RegGetValueW(key, nullptr, L"9ee0c92634e73e9828b1fb60139bd56f", RRF_RT_REG_DWORD,
                                          nullptr, &data, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return data;
  };
  EXPECT_EQ(readMark(wideKey), static_cast<DWORD>(NoShowUntilDate(SystemPlatform().machine)));
  EXPECT_EQ(readMark(wideKey + L"-plain"), std::nullopt) << "no mark without partner mode";
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, wideKey.c_str(), KEY_WOW64_32KEY, 0);
}

// A download page run against the local service, with the fake installer served as the packages.
class DownloadPageRun : public LaterPagesTest {
 protected:
  void SetUp() override {
    LaterPagesTest::SetUp();
    installer_ = ReadAll(FakeInstaller());
    ASSERT_GT(installer_.size(), 1000u) << "fake installer not built";
  }
  std::string Route(const std::string& name) { return test::UniquePath(std::to_string(counter_) + "/" + name); }

  Override<std::wstring> work_{config->workFolder, L""};
  Override<std::wstring> downloads_{config->downloadFolder, L""};
  Override<std::wstring> primaryUrl_{config->primaryDownloadUrl, L""};
  Override<std::wstring> arguments_{config->installerArguments, L"/main-quiet"};
  Override<std::wstring> downloaded_{config->downloadedFilePath, L""};
  Override<std::shared_ptr<Package>> primary_{config->primaryPackage, nullptr};
  Override<bool> reportFailure_{config->reportPrimaryFailure, true};
  std::string installer_;
};

TEST_F(DownloadPageRun, IsvDownloadsLaunchesAndGoesOn) {
  config->workFolder = config->downloadFolder = folder_;
  const std::string mainRoute = Route("setup.exe"), offerRoute = Route("offer.exe");
  test::ContentService::AddRoutes({{mainRoute, {{"base64", Base64(installer_)}}},
                                   {offerRoute, {{"base64", Base64(installer_)}, {"content_length", nullptr}}}});
  config->primaryDownloadUrl = test::ContentUrl(mainRoute);
  config->primaryPackage = MainProduct();
  auto offer = Offer("download-offer", {{"u", "https://content.zelvane.test" + offerRoute}, {"p", "/offer-quiet"}});
  config->acceptedPackages = {offer};

  auto manager = EnglishLanguageManager();
  win32::DownloadPageIsv page(manager);
  std::vector<std::string> steps;
  page.onInstallStarted = [&] { steps.push_back("started"); };
  page.onInstallFinished = [&] { steps.push_back("finished"); };
  page.SetButtonHandler([&](ButtonType button) { steps.push_back("button " + std::to_string(static_cast<int>(button))); });
  page.SetErrorHandler([&](const std::wstring&, const std::wstring&) { steps.push_back("error"); });
  Place(page);
  EXPECT_EQ(page.GetName(), L"DPageISV");
  EXPECT_EQ(Text(page, IDC_PROGRESS_TITLE), L"Installation Status");

  page.OnNavigateToPage();
  ASSERT_TRUE(PumpUntil([&] { return !steps.empty() && steps.back().rfind("button", 0) == 0; }));
  EXPECT_EQ(steps, (std::vector<std::string>{"started", "finished", "finished", "button 0"}));
  EXPECT_TRUE(page.marqueeMode()) << "installing shows the marquee";
  EXPECT_EQ(page.mainInstallerPath(), folder_ + L"\\setup.exe");
  EXPECT_EQ(config->downloadedFilePath, folder_ + L"\\setup.exe");

  // The offer was not waited for: its start may be logged a little later.
  ASSERT_TRUE(PumpUntil([&] { return InstallerStarts(installerLog_).size() == 2; }));
  const auto starts = InstallerStarts(installerLog_);
  EXPECT_EQ(starts[0].value("name", ""), "setup.exe");
  EXPECT_EQ(starts[0].value("arguments", ""), "/main-quiet");
  EXPECT_EQ(starts[1].value("name", ""), "offer.exe");
  EXPECT_EQ(starts[1].value("arguments", ""), "/offer-quiet");
  EXPECT_EQ(Events(config->primaryPackage), (std::vector<std::pair<std::string, std::string>>{{"3", ""}}));
  EXPECT_EQ(Events(offer), (std::vector<std::pair<std::string, std::string>>{{"3", ""}}));
}

TEST_F(DownloadPageRun, IsvMainInstallerThatFailsStillLaunchesTheOffersThenShowsTheError) {
  config->workFolder = config->downloadFolder = folder_;
  const std::string mainRoute = Route("setup_exit-1603.exe"), offerRoute = Route("offer.exe");
  test::ContentService::AddRoutes(
      {{mainRoute, {{"base64", Base64(installer_)}}}, {offerRoute, {{"base64", Base64(installer_)}}}});
  config->primaryDownloadUrl = test::ContentUrl(mainRoute);
  config->primaryPackage = MainProduct();
  auto offer = Offer("exit-offer", {{"u", "https://content.zelvane.test" + offerRoute}});
  config->acceptedPackages = {offer};

  auto manager = EnglishLanguageManager();
  win32::DownloadPageIsv page(manager);
  std::vector<std::string> steps;
  page.onInstallStarted = [&] { steps.push_back("started"); };
  page.onInstallFinished = [&] { steps.push_back("finished"); };
  page.SetButtonHandler([&](ButtonType) { steps.push_back("button"); });
  page.SetErrorHandler([&](const std::wstring& title, const std::wstring&) {
    steps.push_back(title == L"Error occurred while installing Zelvane Web." ? "error" : "other error");
  });
  Place(page);
  page.OnNavigateToPage();
  ASSERT_TRUE(PumpUntil([&] { return !steps.empty() && steps.back() != "started" && steps.back() != "finished"; }));
  EXPECT_EQ(steps, (std::vector<std::string>{"started", "finished", "finished", "error"}));
  EXPECT_TRUE(page.mainProductFailed());
  ASSERT_TRUE(PumpUntil([&] { return InstallerStarts(installerLog_).size() == 2; }));
  EXPECT_EQ(InstallerStarts(installerLog_)[1].value("name", ""), "offer.exe");
  EXPECT_EQ(Events(config->primaryPackage),
            (std::vector<std::pair<std::string, std::string>>{{"3", "EXEC FAILED: exit code = 1603"}}));
  EXPECT_EQ(Events(offer), (std::vector<std::pair<std::string, std::string>>{{"3", ""}}));
}

TEST_F(DownloadPageRun, IsvMainProductThatIsNotThereEndsOnTheErrorPage) {
  config->workFolder = config->downloadFolder = folder_;
  const std::string mainRoute = Route("missing.exe");  // no such route: the service answers 404
  config->primaryDownloadUrl = test::ContentUrl(mainRoute);
  config->primaryPackage = MainProduct();

  auto manager = EnglishLanguageManager();
  win32::DownloadPageIsv page(manager);
  std::vector<ButtonType> reported;
  std::optional<std::pair<std::wstring, std::wstring>> error;
  page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
  page.SetErrorHandler([&](const std::wstring& title, const std::wstring& text) { error.emplace(title, text); });
  Place(page);
  page.OnNavigateToPage();
  ASSERT_TRUE(PumpUntil([&] { return error.has_value() || !reported.empty(); }));
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->first, L"Error occurred while installing Zelvane Web.");
  EXPECT_EQ(error->second, L"Click on \"Close\" and try again later.");
  EXPECT_TRUE(reported.empty());
  EXPECT_TRUE(page.mainProductFailed());
  EXPECT_TRUE(InstallerStarts(installerLog_).empty());

  // The bar as the progress messages leave it: a percent leaves marquee mode, more than 100 enters it.
  HWND bar = ::GetDlgItem(page.hwnd(), IDC_PROGRESS_BAR);
  EXPECT_TRUE(page.marqueeMode());
  EXPECT_TRUE(::GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE);
  ::SendMessageW(page.hwnd(), kWmDownloadProgress, 40, 0);
  EXPECT_FALSE(page.marqueeMode());
  EXPECT_FALSE(::GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 40);
  ::SendMessageW(page.hwnd(), kWmDownloadProgress, 101, 0);
  EXPECT_TRUE(page.marqueeMode());
  EXPECT_TRUE(::GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE);

  const auto events = Events(config->primaryPackage);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].first, "3") << "the main product's failure is reported with 3";
  EXPECT_EQ(events[0].second.rfind("DOWNLOAD FAILED: [WINHTTP] ", 0), 0u) << events[0].second;
  EXPECT_NE(events[0].second.find("404"), std::string::npos) << events[0].second;
}

TEST_F(DownloadPageRun, DlmKeepsTheMainProductAndLaunchesTheOffers) {
  Override<int> dlm(config->wizardType, kWizardDlm);
  Override<std::wstring> fileName(config->primaryFileName, L"Zelvane Web.exe");
  config->workFolder = folder_;
  config->downloadFolder = folder_ + L"\\downloads";
  ASSERT_TRUE(::CreateDirectoryW(config->downloadFolder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  const std::string mainRoute = Route("track"), offerRoute = Route("offer.exe");
  test::ContentService::AddRoutes(
      {{mainRoute, {{"base64", Base64(installer_)}}}, {offerRoute, {{"base64", Base64(installer_)}}}});
  config->primaryDownloadUrl = test::ContentUrl(mainRoute);
  config->primaryPackage = MainProduct();
  auto offer = Offer("dlm-offer", {{"u", "https://content.zelvane.test" + offerRoute}, {"p", "/offer-quiet"}});
  config->acceptedPackages = {offer};

  auto manager = EnglishLanguageManager();
  win32::DownloadPageDlm page(manager);
  std::vector<ButtonType> reported;
  bool failed = false;
  page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
  page.SetErrorHandler([&](const std::wstring&, const std::wstring&) { failed = true; });
  Place(page);
  EXPECT_EQ(page.GetName(), L"DPageDLM");
  EXPECT_EQ(Text(page, IDC_PROGRESS_TITLE), L"Downloading");
  page.OnNavigateToPage();
  ASSERT_TRUE(PumpUntil([&] { return failed || !reported.empty(); }));
  EXPECT_FALSE(failed);
  EXPECT_EQ(reported, std::vector<ButtonType>{ButtonType::Next});
  EXPECT_EQ(config->downloadedFilePath, config->downloadFolder + L"\\Zelvane Web.exe");

  // Only the offer is started; the finish page opens the product.
  ASSERT_TRUE(PumpUntil([&] { return !InstallerStarts(installerLog_).empty(); }));
  const auto starts = InstallerStarts(installerLog_);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].value("name", ""), "offer.exe");
  EXPECT_EQ(starts[0].value("arguments", ""), "/offer-quiet");
  EXPECT_EQ(Events(config->primaryPackage), (std::vector<std::pair<std::string, std::string>>{{"3", ""}}));
  EXPECT_EQ(Events(offer), (std::vector<std::pair<std::string, std::string>>{{"3", ""}}));
}

TEST_F(LaterPagesTest, IsvFinishStartsTheProductWithItsMacrosExpandedOnlyWhenTicked) {
  const std::wstring productFolder = L"ZelvaneTests-" + std::to_wstring(::GetCurrentProcessId());
  config->BuildFolderMacros();
  std::wstring common;
  for (const auto& [key, value] : config->folderMacros) {
    if (key == L"commonappdata") common = value;
  }
  ASSERT_FALSE(common.empty());
  ASSERT_TRUE(::CreateDirectoryW((common + L"\\" + productFolder).c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring product = common + L"\\" + productFolder + L"\\zvweb.exe";
  ASSERT_TRUE(::CopyFileW(FakeInstaller().c_str(), product.c_str(), FALSE));
  Override<std::wstring> launchPath(config->launchPath, L"{commonappdata}\\" + productFolder + L"\\zvweb.exe");
  ASSERT_EQ(config->launchArguments, L"/RUNONSTARTUP");

  auto manager = EnglishLanguageManager();
  for (bool ticked : {false, true}) {
    win32::FinishPageIsv page(manager);
    std::vector<ButtonType> reported;
    page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
    Place(page);
    EXPECT_EQ(page.GetName(), L"FinishPageISV");
    EXPECT_EQ(Text(page, IDC_FINISH_TITLE), L"Thank you.\r\nYour installation is complete.");
    EXPECT_EQ(Text(page, IDC_LAUNCH_CHECK), L"Launch the application on exit");
    EXPECT_EQ(::SendDlgItemMessageW(page.hwnd(), IDC_LAUNCH_CHECK, BM_GETCHECK, 0, 0), BST_CHECKED);
    if (!ticked) testing::ClickButton(page.hwnd(), IDC_LAUNCH_CHECK);
    testing::ClickButton(page.hwnd(), IDC_FINISH);
    EXPECT_EQ(reported, std::vector<ButtonType>{ButtonType::Finish});
  }
  // Only the ticked run started it: one start, with the launch arguments.
  ASSERT_TRUE(PumpUntil([&] { return !InstallerStarts(installerLog_).empty(); }));
  const auto starts = InstallerStarts(installerLog_);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].value("name", ""), "zvweb.exe");
  EXPECT_EQ(starts[0].value("arguments", ""), "/RUNONSTARTUP");
  ::DeleteFileW(product.c_str());
  ::RemoveDirectoryW((common + L"\\" + productFolder).c_str());
}

TEST_F(LaterPagesTest, DlmFinishOpensTheDownloadedFile) {
  Override<int> dlm(config->wizardType, kWizardDlm);
  const std::wstring file = folder_ + L"\\Zelvane Web.exe";
  ASSERT_TRUE(::CopyFileW(FakeInstaller().c_str(), file.c_str(), FALSE));
  Override<std::wstring> downloaded(config->downloadedFilePath, file);
  auto manager = EnglishLanguageManager();
  win32::FinishPageDlm page(manager);
  std::vector<ButtonType> reported;
  page.SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
  Place(page);
  EXPECT_EQ(page.GetName(), L"FinishPageDLM");
  EXPECT_EQ(Text(page, IDC_LAUNCH_RADIO), L"Launch");
  EXPECT_EQ(Text(page, IDC_OPEN_FOLDER_RADIO), L"Open Folder");
  EXPECT_EQ(Text(page, IDC_FINISH_TEXT),
            L"To install the software on your machine, click \"Launch\"\r\nClick the \"Finish\" button to exit the Setup Wizard");
  EXPECT_EQ(::SendDlgItemMessageW(page.hwnd(), IDC_LAUNCH_RADIO, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendDlgItemMessageW(page.hwnd(), IDC_OPEN_FOLDER_RADIO, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  testing::ClickButton(page.hwnd(), IDC_FINISH);
  EXPECT_EQ(reported, std::vector<ButtonType>{ButtonType::Finish});
  ASSERT_TRUE(PumpUntil([&] { return !InstallerStarts(installerLog_).empty(); }));
  const auto starts = InstallerStarts(installerLog_);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].value("name", ""), "Zelvane Web.exe");
  EXPECT_EQ(starts[0].value("arguments", ""), "");
}

TEST_F(PagesTest, ClassicPagesStoreTheTickedBoxesAsTheOptionCode) {
  Override<std::array<bool, 8>> options(config->classicOptions, {});
  Override<bool> classic(config->classicFlow, true);
  auto manager = EnglishLanguageManager();
  win32::WarningPageOstrelClassic warning(manager);
  win32::OptionsPageOstrelClassic optionsPage(manager);
  win32::ConfigurationsPageOstrelClassic configurations(manager);
  std::vector<ButtonType> reported;
  for (win32::IPage* page : std::initializer_list<win32::IPage*>{&warning, &optionsPage, &configurations}) {
    page->SetButtonHandler([&](ButtonType button) { reported.push_back(button); });
    Place(*page);
  }
  EXPECT_EQ(warning.GetName(), L"WarningPageOstrelClassic");
  EXPECT_EQ(optionsPage.GetName(), L"OptionsPageOstrelClassic");
  EXPECT_EQ(configurations.GetName(), L"ConfigurationsPageOstrelClassic");
  // No document of this build has their texts: the templates' stay.
  EXPECT_EQ(Text(warning, IDC_WARNING_TITLE), L"WARNING_TITLE placeholder");
  EXPECT_EQ(Text(optionsPage, IDC_OPTIONS_TITLE), L"OPTIONS_TITLE placeholder");
  EXPECT_EQ(Text(configurations, IDC_OPTION_4_LABEL), L"OPTIONS_2_CHECKBOX placeholder");
  EXPECT_EQ(Text(configurations, IDC_NEXT), L"Next");
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendDlgItemMessageW(optionsPage.hwnd(), IDC_OPTIONS_TITLE, WM_GETFONT, 0, 0)),
               sizeof font, &font);
  EXPECT_EQ(font.lfWeight, 1000);

  testing::ClickButton(warning.hwnd(), IDC_NEXT);
  testing::ClickButton(warning.hwnd(), IDC_BACK);
  EXPECT_EQ(reported, (std::vector<ButtonType>{ButtonType::Next, ButtonType::Back}));

  for (int box : {IDC_OPTION_1, IDC_OPTION_2, IDC_OPTION_3}) {
    EXPECT_EQ(::SendDlgItemMessageW(optionsPage.hwnd(), box, BM_GETCHECK, 0, 0), BST_CHECKED) << box;
  }
  testing::ClickButton(optionsPage.hwnd(), IDC_OPTION_2);
  testing::ClickButton(optionsPage.hwnd(), IDC_NEXT);
  // The label beside box 1069 is not part of it: a click on it leaves the box ticked.
  testing::ClickButton(configurations.hwnd(), IDC_OPTION_4_LABEL);
  testing::ClickButton(configurations.hwnd(), IDC_OPTION_6);
  testing::ClickButton(configurations.hwnd(), IDC_BACK);
  EXPECT_EQ(config->classicOptions, (std::array<bool, 8>{true, false, true, false, false, false, false, false}))
      << "Back stores nothing";
  testing::ClickButton(configurations.hwnd(), IDC_NEXT);
  const std::array<bool, 8> expected{true, false, true, true, true, false, true, true};
  EXPECT_EQ(config->classicOptions, expected);
  EXPECT_EQ(reported.size(), 5u);
  EXPECT_EQ(MainInstallerArguments(*config), L"/S /FORCEINSTALL " + OptionCode(expected));
}

}  // namespace
}  // namespace zelvane
