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
#include "pages/language_page.h"
#include "pages/license_page.h"
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
}

}  // namespace
}  // namespace zelvane
