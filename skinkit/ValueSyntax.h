// Attribute value syntaxes shared by the markup builder, the controls and the
// image descriptions: integers, integer lists, colours, booleans and the
// attribute-list strings registered by `Default` elements. Pure C++.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace SkinKit {

struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct SkinSize {
    int cx = 0;
    int cy = 0;
};

// Decimal integer: optional leading whitespace (codes <= 32) and sign, then digits;
// reading stops at the first other character. No digits gives 0. Values beyond
// the int range saturate. When `end` is given it receives the first unread
// character (the start of `text` when nothing was read).
int ParseInt(const wchar_t* text, const wchar_t** end = nullptr);

// Reads up to `count` integers: each one as ParseInt, then exactly one character,
// whatever it is, is skipped before the next ("500,350", "500;350" and
// "500 350" all give 500 and 350). Values missing at the end of the text are 0;
// the reader never moves past the terminating zero. Returns how many numbers had
// at least one digit.
int ParseIntList(const wchar_t* text, int* values, int count);

// l,t,r,b and cx,cy forms of ParseIntList.
SkinRect ParseRect(const wchar_t* text);
SkinSize ParseSize(const wchar_t* text);

// Colour: optional whitespace, an optional "#", an optional "0x", then hexadecimal
// digits read as 0xAARRGGBB. Reading stops at the first non-hex character; more
// than eight significant digits saturate to 0xFFFFFFFF. No digits gives 0.
uint32_t ParseColor(const wchar_t* text);

// True only for exactly "true" (case included).
bool ParseBool(const wchar_t* text);

using AttributeList = std::vector<std::pair<std::wstring, std::wstring>>;

// Attribute-list string: repeatedly a name up to "=", then "=" immediately
// followed by a double quote, the value up to the next double quote. Exactly one
// space may follow a pair before the next one. Anything else ends the list; a
// pair without its closing quote is not returned.
AttributeList ParseAttributeList(const wchar_t* text);

} // namespace SkinKit
