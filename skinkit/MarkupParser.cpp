#include "MarkupParser.h"

#include <cstring>
#include <cwchar>

namespace SkinKit {

namespace {

const wchar_t kEmpty[] = L"";

bool IsSpace(wchar_t c) {
    return c <= 32;
}

bool IsNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L':';
}

struct Entity {
    const wchar_t* text; // without the leading "&"
    size_t length;
    wchar_t value;
};

const Entity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
};

} // namespace

// The parser proper. Iterative: the open elements are kept on an explicit stack,
// so nesting depth costs heap, not call stack.
class MarkupParserImpl {
public:
    MarkupParserImpl(CMarkup& doc, const wchar_t* text, size_t length) : m_doc(doc), m_text(text), m_length(length) {}

    bool Parse();

private:
    wchar_t At(size_t i) const { return i < m_length ? m_text[i] : 0; }
    bool AtEnd() const { return m_pos >= m_length; }
    bool StartsWith(const wchar_t* s) const {
        for (size_t i = 0; s[i] != 0; ++i)
            if (At(m_pos + i) != s[i])
                return false;
        return true;
    }
    void SkipWhitespace() {
        while (!AtEnd() && IsSpace(m_text[m_pos]))
            ++m_pos;
    }

    bool Fail(const wchar_t* message);
    uint32_t AddString(const wchar_t* chars, size_t count);
    uint32_t AddDecoded(size_t begin, size_t end);
    bool SkipSections(bool& skipped, const wchar_t* errorIfOpen);
    int NewElement(int parent);

    CMarkup& m_doc;
    const wchar_t* m_text;
    size_t m_length;
    size_t m_pos = 0;
    std::vector<int> m_open;      // indices of the open elements, innermost last
    std::vector<int> m_lastChild; // per element, its last child so far
    int m_lastTopLevel = -1;
};

bool MarkupParserImpl::Fail(const wchar_t* message) {
    size_t from = m_pos < m_length ? m_pos : m_length;
    size_t count = m_length - from < 50 ? m_length - from : 50;
    std::wstring location(m_text + from, count);
    m_doc.Release();
    m_doc.m_error = message;
    m_doc.m_errorLocation = std::move(location);
    return false;
}

uint32_t MarkupParserImpl::AddString(const wchar_t* chars, size_t count) {
    uint32_t offset = static_cast<uint32_t>(m_doc.m_strings.size());
    m_doc.m_strings.insert(m_doc.m_strings.end(), chars, chars + count);
    m_doc.m_strings.push_back(0);
    return offset;
}

// Copies text[begin, end) with entities replaced and a space followed by more
// whitespace collapsed to that one space.
uint32_t MarkupParserImpl::AddDecoded(size_t begin, size_t end) {
    uint32_t offset = static_cast<uint32_t>(m_doc.m_strings.size());
    std::vector<wchar_t>& out = m_doc.m_strings;
    size_t i = begin;
    while (i < end) {
        wchar_t c = m_text[i];
        if (c == L' ') {
            out.push_back(L' ');
            ++i;
            while (i < end && IsSpace(m_text[i]))
                ++i;
            continue;
        }
        if (c == L'&') {
            bool replaced = false;
            for (const Entity& entity : kEntities) {
                if (end - (i + 1) >= entity.length && std::wmemcmp(m_text + i + 1, entity.text, entity.length) == 0) {
                    out.push_back(entity.value);
                    i += 1 + entity.length;
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        out.push_back(c);
        ++i;
    }
    out.push_back(0);
    return offset;
}

// Skips "<?...?>" and "<!...->" sections at the current position (several in a
// row, with whitespace between). False after reporting an unterminated one.
bool MarkupParserImpl::SkipSections(bool& skipped, const wchar_t* errorIfUnterminated) {
    skipped = false;
    for (;;) {
        SkipWhitespace();
        const wchar_t* close;
        if (StartsWith(L"<?"))
            close = L"?>";
        else if (StartsWith(L"<!"))
            close = L"->";
        else
            return true;
        size_t i = m_pos + 2;
        while (i + 1 < m_length && !(m_text[i] == close[0] && m_text[i + 1] == close[1]))
            ++i;
        if (i + 1 >= m_length)
            return Fail(errorIfUnterminated);
        m_pos = i + 2;
        skipped = true;
    }
}

int MarkupParserImpl::NewElement(int parent) {
    std::vector<CMarkup::Element>& elements = m_doc.m_elements;
    if (elements.size() == elements.capacity())
        elements.reserve(elements.size() + elements.size() / 2 + 500);
    int index = static_cast<int>(elements.size());
    elements.emplace_back();
    elements.back().parent = parent;
    m_lastChild.push_back(-1);
    int& previous = parent < 0 ? m_lastTopLevel : m_lastChild[parent];
    if (previous < 0) {
        if (parent >= 0)
            elements[parent].child = index;
    } else {
        elements[previous].next = index;
    }
    previous = index;
    return index;
}

bool MarkupParserImpl::Parse() {
    m_doc.m_strings.assign(1, 0);
    for (;;) {
        const bool inContent = !m_open.empty();
        bool skipped;
        if (!SkipSections(skipped, inContent ? L"Expected end-tag start" : L"Expected start tag"))
            return false;
        if (AtEnd()) {
            if (inContent)
                return Fail(L"Expected end-tag start");
            if (m_doc.m_elements.empty())
                return Fail(L"Expected start tag");
            return true;
        }
        if (m_text[m_pos] != L'<')
            return Fail(inContent ? L"Expected end-tag start" : L"Expected start tag");

        if (At(m_pos + 1) == L'/') {
            if (!inContent)
                return Fail(L"Expected start tag");
            const CMarkup::Element& open = m_doc.m_elements[m_open.back()];
            const wchar_t* name = m_doc.String(open.name);
            size_t nameLength = std::wcslen(name);
            m_pos += 2;
            if (m_length - m_pos < nameLength || std::wmemcmp(m_text + m_pos, name, nameLength) != 0)
                return Fail(L"Unmatched closing tag");
            m_pos += nameLength;
            SkipWhitespace();
            if (At(m_pos) != L'>')
                return Fail(L"Unmatched closing tag");
            ++m_pos;
            m_open.pop_back();
            continue;
        }

        // Start tag.
        ++m_pos;
        size_t nameStart = m_pos;
        while (!AtEnd() && IsNameChar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == nameStart)
            return Fail(L"Error parsing element name");
        if (m_open.size() >= static_cast<size_t>(CMarkup::kMaxDepth))
            return Fail(L"Elements nested too deeply");
        int parent = inContent ? m_open.back() : -1;
        int index = NewElement(parent);
        m_doc.m_elements[index].name = AddString(m_text + nameStart, m_pos - nameStart);
        m_doc.m_elements[index].firstAttribute = static_cast<uint32_t>(m_doc.m_attributes.size());

        for (;;) {
            SkipWhitespace();
            if (AtEnd() || !IsNameChar(m_text[m_pos]))
                break;
            size_t attrStart = m_pos;
            while (!AtEnd() && IsNameChar(m_text[m_pos]))
                ++m_pos;
            size_t attrEnd = m_pos;
            SkipWhitespace();
            if (At(m_pos) != L'=')
                return Fail(L"Error while parsing attributes");
            ++m_pos;
            SkipWhitespace();
            if (At(m_pos) != L'"')
                return Fail(L"Expected attribute value");
            ++m_pos;
            size_t valueStart = m_pos;
            while (!AtEnd() && m_text[m_pos] != L'"')
                ++m_pos;
            if (AtEnd())
                return Fail(L"Error while parsing attribute string");
            CMarkup::Attribute attribute;
            attribute.name = AddString(m_text + attrStart, attrEnd - attrStart);
            attribute.value = AddDecoded(valueStart, m_pos);
            m_doc.m_attributes.push_back(attribute);
            m_doc.m_elements[index].attributeCount++;
            ++m_pos;
        }

        if (At(m_pos) == L'/' && At(m_pos + 1) == L'>') {
            m_pos += 2;
            continue;
        }
        if (At(m_pos) != L'>')
            return Fail(L"Expected start-tag closing");
        ++m_pos;

        // Text up to the first child or the end tag.
        SkipWhitespace();
        size_t textStart = m_pos;
        while (!AtEnd() && m_text[m_pos] != L'<')
            ++m_pos;
        if (m_pos > textStart)
            m_doc.m_elements[index].value = AddDecoded(textStart, m_pos);
        m_open.push_back(index);
    }
}

bool CMarkup::Load(const wchar_t* text, size_t length) {
    Release();
    if (!text)
        text = kEmpty;
    // The document ends at the first zero character, if any.
    size_t n = 0;
    while (n < length && text[n] != 0)
        ++n;
    if (n > 0x0FFFFFFF) {
        m_error = L"File too large";
        return false;
    }
    MarkupParserImpl parser(*this, text, n);
    return parser.Parse();
}

bool CMarkup::Load(const wchar_t* text) {
    return Load(text, text ? std::wcslen(text) : 0);
}

bool CMarkup::LoadFromBytes(const void* data, size_t size) {
    std::wstring text = DecodeUtf8(data, size);
    return Load(text.data(), text.size());
}

void CMarkup::SetError(const wchar_t* message) {
    Release();
    m_error = message ? message : L"";
}

void CMarkup::Release() {
    m_elements.clear();
    m_elements.shrink_to_fit();
    m_attributes.clear();
    m_strings.clear();
    m_error.clear();
    m_errorLocation.clear();
}

CMarkupNode CMarkup::GetRoot() const {
    if (m_elements.empty())
        return CMarkupNode();
    return CMarkupNode(this, 0);
}

bool CMarkupNode::IsValid() const {
    return m_owner != nullptr && m_index >= 0 && static_cast<size_t>(m_index) < m_owner->m_elements.size();
}

CMarkupNode CMarkupNode::GetParent() const {
    if (!IsValid())
        return CMarkupNode();
    int parent = m_owner->m_elements[m_index].parent;
    return parent < 0 ? CMarkupNode() : CMarkupNode(m_owner, parent);
}

CMarkupNode CMarkupNode::GetSibling() const {
    if (!IsValid())
        return CMarkupNode();
    int next = m_owner->m_elements[m_index].next;
    return next < 0 ? CMarkupNode() : CMarkupNode(m_owner, next);
}

CMarkupNode CMarkupNode::GetChild() const {
    if (!IsValid())
        return CMarkupNode();
    int child = m_owner->m_elements[m_index].child;
    return child < 0 ? CMarkupNode() : CMarkupNode(m_owner, child);
}

CMarkupNode CMarkupNode::GetChild(const wchar_t* name) const {
    if (!name)
        return CMarkupNode();
    for (CMarkupNode child = GetChild(); child.IsValid(); child = child.GetSibling())
        if (std::wcscmp(child.GetName(), name) == 0)
            return child;
    return CMarkupNode();
}

bool CMarkupNode::HasSiblings() const {
    return IsValid() && m_owner->m_elements[m_index].next >= 0;
}

bool CMarkupNode::HasChildren() const {
    return IsValid() && m_owner->m_elements[m_index].child >= 0;
}

const wchar_t* CMarkupNode::GetName() const {
    return IsValid() ? m_owner->String(m_owner->m_elements[m_index].name) : kEmpty;
}

const wchar_t* CMarkupNode::GetValue() const {
    return IsValid() ? m_owner->String(m_owner->m_elements[m_index].value) : kEmpty;
}

bool CMarkupNode::HasAttributes() const {
    return GetAttributeCount() > 0;
}

bool CMarkupNode::HasAttribute(const wchar_t* name) const {
    if (!name)
        return false;
    for (int i = 0, n = GetAttributeCount(); i < n; ++i)
        if (std::wcscmp(GetAttributeName(i), name) == 0)
            return true;
    return false;
}

int CMarkupNode::GetAttributeCount() const {
    return IsValid() ? static_cast<int>(m_owner->m_elements[m_index].attributeCount) : 0;
}

const wchar_t* CMarkupNode::GetAttributeName(int index) const {
    if (index < 0 || index >= GetAttributeCount())
        return kEmpty;
    const CMarkup::Element& element = m_owner->m_elements[m_index];
    return m_owner->String(m_owner->m_attributes[element.firstAttribute + index].name);
}

const wchar_t* CMarkupNode::GetAttributeValue(int index) const {
    if (index < 0 || index >= GetAttributeCount())
        return kEmpty;
    const CMarkup::Element& element = m_owner->m_elements[m_index];
    return m_owner->String(m_owner->m_attributes[element.firstAttribute + index].value);
}

const wchar_t* CMarkupNode::GetAttributeValue(const wchar_t* name) const {
    if (!name)
        return kEmpty;
    for (int i = 0, n = GetAttributeCount(); i < n; ++i)
        if (std::wcscmp(GetAttributeName(i), name) == 0)
            return GetAttributeValue(i);
    return kEmpty;
}

std::wstring DecodeUtf8(const void* data, size_t size) {
    std::wstring out;
    if (!data)
        return out;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t i = 0;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        i = 3;
    out.reserve(size - i);
    const wchar_t kReplacement = 0xFFFD;
    while (i < size) {
        unsigned char lead = p[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        int extra;
        uint32_t cp;
        uint32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
            minimum = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        int have = 0;
        while (have < extra && i + 1 + have < size && (p[i + 1 + have] & 0xC0) == 0x80) {
            cp = (cp << 6) | (p[i + 1 + have] & 0x3F);
            ++have;
        }
        if (have < extra) {
            // Truncated sequence: replace the bytes read so far, resume at the next one.
            out.push_back(kReplacement);
            i += 1 + have;
            continue;
        }
        i += 1 + extra;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
    }
    return out;
}

} // namespace SkinKit
