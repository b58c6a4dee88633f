// Conversions between UTF-16 and the bytes of a Windows code page.
#pragma once

#include <string>

// The whole text, zeros included, in codePage; characters the code page cannot
// represent become its default character. Empty when the conversion fails.
std::string WideToCodePage(unsigned codePage, const std::wstring& text);

// The whole text, zeros included, read as codePage. Empty when the conversion fails.
std::wstring CodePageToWide(unsigned codePage, const std::string& text);
