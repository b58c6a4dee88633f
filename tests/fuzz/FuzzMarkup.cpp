// Skin markup from arbitrary bytes: the parse either fails with an error text
// or gives a tree every accessor can walk.
#include "MarkupParser.h"

#include "FuzzText.h"

#include <cwchar>

using namespace SkinKit;
using FuzzText::Check;

namespace {

void Touch(const wchar_t* text) {
    Check(text != nullptr, "accessor returned null");
    (void)std::wcslen(text);
}

void WalkTree(const CMarkup& markup) {
    CMarkupNode node = markup.GetRoot();
    int depth = 0;
    size_t visited = 0;
    while (node.IsValid()) {
        ++visited;
        Touch(node.GetName());
        Touch(node.GetValue());
        const int count = node.GetAttributeCount();
        Check(count >= 0 && node.HasAttributes() == (count > 0), "attribute count");
        for (int i = -1; i <= count; ++i) {
            Touch(node.GetAttributeName(i));
            Touch(node.GetAttributeValue(i));
        }
        if (count > 0) {
            const wchar_t* name = node.GetAttributeName(count - 1);
            Check(node.HasAttribute(name), "attribute not found by its own name");
            Touch(node.GetAttributeValue(name));
        }
        CMarkupNode child = node.GetChild();
        Check(child.IsValid() == node.HasChildren(), "children");
        if (child.IsValid()) {
            Check(node.GetChild(child.GetName()).IsValid(), "child not found by its own name");
            Check(++depth <= CMarkup::kMaxDepth, "nesting deeper than the limit");
            node = child;
            continue;
        }
        // Up until an ancestor has a next sibling.
        while (node.IsValid() && !node.GetSibling().IsValid()) {
            node = node.GetParent();
            --depth;
        }
        if (node.IsValid())
            node = node.GetSibling();
    }
    Check(depth <= 0, "walk left the tree unbalanced");
    Check(visited > 0, "a valid document has a root");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMarkup markup;
    if (markup.LoadFromBytes(data, size)) {
        Check(*markup.GetLastErrorMessage() == 0, "error text after success");
        WalkTree(markup);
    } else {
        Check(*markup.GetLastErrorMessage() != 0, "failure without an error text");
        Check(std::wcslen(markup.GetLastErrorLocation()) <= 50, "error location too long");
        Check(!markup.GetRoot().IsValid(), "failed parse left a tree");
    }

    // The same bytes as UTF-16 text of an exact length, without a terminator.
    const std::wstring units = FuzzText::Utf16Units(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<wchar_t> exact(units.begin(), units.end());
    CMarkup wide;
    if (wide.Load(exact.data(), exact.size()))
        WalkTree(wide);
    return 0;
}
