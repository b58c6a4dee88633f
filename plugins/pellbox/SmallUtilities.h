// URL encoding of installer texts and the current time text.
#pragma once

#include <cstdint>
#include <string>

// Code page 936 text as UTF-8.
std::string AnsiToUtf8(const std::string& narrow);

// text in code page 936 (unrepresentable characters become "?"), then UTF-8,
// percent-encoded; at most limit characters, ending after a whole character.
std::string UrlEncode(const std::wstring& text, size_t limit = std::string::npos);

int64_t GetTimeSeconds();
