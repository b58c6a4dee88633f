// The skin markup: an XML-like document parsed into a flat array of element
// records, plus a small value type to navigate it. Pure C++.
//
// Grammar, briefly: optional "<?...?>" and "<!...->" sections wherever an element
// may start; elements with names of letters, digits, "_" and ":"; attribute values
// in double quotes only; the five entities &amp; &lt; &gt; &quot; &apos; (any other
// "&" stays as written); a space followed by more whitespace collapses to one
// space. Any error ends the parse and leaves the document empty with an error text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinKit {

class CMarkup;

// A position in a parsed document. Cheap to copy; valid only while the document
// it came from is alive and not reloaded. Every accessor is safe on an invalid
// node: names and values come back as "" and navigation yields invalid nodes.
class CMarkupNode {
public:
    CMarkupNode() = default;

    bool IsValid() const;

    CMarkupNode GetParent() const;
    CMarkupNode GetSibling() const;
    CMarkupNode GetChild() const;
    // First child element with this name (compared exactly).
    CMarkupNode GetChild(const wchar_t* name) const;

    bool HasSiblings() const;
    bool HasChildren() const;

    const wchar_t* GetName() const;
    // The element's text: what stands between its start tag and its first child or
    // end tag, with leading whitespace skipped. "" for empty elements.
    const wchar_t* GetValue() const;

    bool HasAttributes() const;
    bool HasAttribute(const wchar_t* name) const;
    int GetAttributeCount() const;
    // Attributes in document order; an index out of range gives "".
    const wchar_t* GetAttributeName(int index) const;
    const wchar_t* GetAttributeValue(int index) const;
    // Value of the first attribute with this name, or "" when there is none.
    const wchar_t* GetAttributeValue(const wchar_t* name) const;

private:
    friend class CMarkup;
    CMarkupNode(const CMarkup* owner, int index) : m_owner(owner), m_index(index) {}

    const CMarkup* m_owner = nullptr;
    int m_index = -1;
};

class CMarkup {
public:
    // Deeper nesting is refused, so that code walking the tree recursively (the
    // builder) cannot exhaust its stack.
    static constexpr int kMaxDepth = 256;

    CMarkup() = default;
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Parses UTF-16 text of `length` characters (the text need not be terminated).
    bool Load(const wchar_t* text, size_t length);
    // Parses zero-terminated UTF-16 text.
    bool Load(const wchar_t* text);
    // Parses UTF-8 bytes; a leading byte order mark EF BB BF is skipped. Malformed
    // sequences become U+FFFD.
    bool LoadFromBytes(const void* data, size_t size);

    // Empties the document and keeps `message` as its error text (used by loaders
    // that fail before there is anything to parse, e.g. "Error opening file").
    void SetError(const wchar_t* message);

    void Release();
    bool IsValid() const { return !m_elements.empty(); }

    // "" after a successful load.
    const wchar_t* GetLastErrorMessage() const { return m_error.c_str(); }
    // Up to 50 characters of the text where the parse failed.
    const wchar_t* GetLastErrorLocation() const { return m_errorLocation.c_str(); }

    // The first top-level element; invalid when the document is empty.
    CMarkupNode GetRoot() const;

private:
    friend class CMarkupNode;

    struct Attribute {
        uint32_t name; // offsets into m_strings
        uint32_t value;
    };
    struct Element {
        uint32_t name = 0;
        uint32_t value = 0;
        int parent = -1;
        int child = -1;
        int next = -1;
        uint32_t firstAttribute = 0;
        uint32_t attributeCount = 0;
    };

    const wchar_t* String(uint32_t offset) const { return m_strings.data() + offset; }

    std::vector<Element> m_elements;
    std::vector<Attribute> m_attributes;
    std::vector<wchar_t> m_strings; // zero-terminated strings; offset 0 is ""
    std::wstring m_error;
    std::wstring m_errorLocation;

    friend class MarkupParserImpl;
};

// UTF-8 → UTF-16 with a bounded decoder: overlong forms, surrogates, code points
// above U+10FFFF and truncated sequences become U+FFFD. A leading BOM is skipped.
std::wstring DecodeUtf8(const void* data, size_t size);

} // namespace SkinKit
