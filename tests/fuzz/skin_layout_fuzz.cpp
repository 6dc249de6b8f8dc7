// The skin layout and the language texts over arbitrary XML: whatever the
// bytes, describing every window and copying every text stays in bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "skin/language_texts.h"
#include "skin/skin_document.h"
#include "skin/skin_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // No file is read: includes and script files are not what is under test.
  SkinDocument skin(SkinLoadLimits{.maxFiles = 0});
  skin.loadText(text, "fuzz.xml", nullptr);
  ControlIds ids(1);
  for (XmlElementHandle element : skin.descriptions()) {
    if (const auto window = describeWindow(element, ids)) {
      findControl(*window, "view wnd");
      findControl(*window, element.attribute("name").value());
    }
  }

  LanguageTexts texts;
  if (texts.loadText(text)) {
    char buffer[kShortTextBytes];
    size_t bufferSize = sizeof buffer;
    texts.copyText("Scribly_MessageBox_Title", buffer, &bufferSize);
  }
  return 0;
}
