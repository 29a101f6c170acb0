#include "platform/Cp1250.h"

namespace bridge::platform {

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      out.push_back('?');
      ++i;
      continue;
    }
    bool valid = i + extra < utf8.size();
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        cp = (cp << 6) | (next & 0x3F);
      }
    }
    if (!valid) {
      out.push_back('?');
      ++i;
      continue;
    }
    const int byte = cp1250_detail::ByteOf(cp);
    out.push_back(
        byte < 0 ? '?' : static_cast<char>(static_cast<unsigned char>(byte)));
    i += extra + 1;
  }
  return out;
}

std::string Cp1250ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
      continue;
    }
    const char16_t cp = cp1250_detail::kHighHalf[byte - 0x80u];
    if (cp == 0) {
      out.push_back('?');
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Cp1250ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(static_cast<char16_t>(byte));
      continue;
    }
    const char16_t cp = cp1250_detail::kHighHalf[byte - 0x80u];
    out.push_back(cp == 0 ? u'?' : cp);
  }
  return out;
}

std::string Utf16ToCp1250(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    // A pair of surrogates is one character, and none the code page has.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      out.push_back('?');
      continue;
    }
    const int byte = cp1250_detail::ByteOf(unit);
    out.push_back(
        byte < 0 ? '?' : static_cast<char>(static_cast<unsigned char>(byte)));
  }
  return out;
}

#ifdef _WIN32
std::wstring Cp1250ToWide(std::string_view text) {
  const std::u16string utf16 = Cp1250ToUtf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string WideToCp1250(std::wstring_view text) {
  return Utf16ToCp1250(std::u16string(text.begin(), text.end()));
}
#endif

}  // namespace bridge::platform
