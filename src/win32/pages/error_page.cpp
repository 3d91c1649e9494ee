#include "pages/error_page.h"

#include "resource.h"

namespace zelvane::win32 {

ErrorPage::ErrorPage(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_ERROR_PAGE) {}

BOOL ErrorPage::OnInitDialog() {
  IPage::OnInitDialog();
  m_image.Attach(hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_ERROR_CLOSE, "BUTTON_CLOSE");
  UpdateTexts();
  return TRUE;
}

void ErrorPage::SetError(const std::wstring& title, const std::wstring& text) {
  // The page is made at start-up but shown only after a failure: its picture is decoded then, so
  // that start-up does without the image codecs.
  if (!m_imageLoaded) {
    m_image.LoadFromResource(IDB_FAILURE, L"IMAGE_BLOB3");
    m_imageLoaded = true;
  }
  m_title = title;
  m_text = text;
  ::SetDlgItemTextW(hwnd(), IDC_ERROR_TITLE, m_title.c_str());
  ::SetDlgItemTextW(hwnd(), IDC_ERROR_TEXT, m_text.c_str());
}

bool ErrorPage::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id != IDC_ERROR_CLOSE || code != BN_CLICKED) return false;
  if (m_buttonHandler) m_buttonHandler(ButtonType::Close);
  return true;
}

}  // namespace zelvane::win32
