#include "DialogBuilder.h"

#include "ButtonUI.h"
#include "ContainerUI.h"
#include "EditUI.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "PaintManagerUI.h"
#include "ProgressUI.h"
#include "SkinResources.h"
#include "ValueSyntax.h"
#include "VerticalLayoutUI.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace SkinKit {

namespace {

// Markups being built through Include, innermost last: a markup that includes
// itself (directly or through others) is not built again.
std::vector<std::wstring>& IncludeStack() {
    static std::vector<std::wstring> stack;
    return stack;
}
constexpr size_t kMaxIncludeDepth = 8;

bool SameName(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

bool IsDocumentLevelElement(const wchar_t* name) {
    static const wchar_t* const names[] = {L"Image", L"Font", L"Default", L"EffectsStyles", L"Styles", L"ActionScript"};
    for (const wchar_t* n : names) {
        if (wcscmp(name, n) == 0)
            return true;
    }
    return false;
}

} // namespace

CControlUI* CreateBuiltInControl(const wchar_t* name) {
    if (wcscmp(name, L"Control") == 0)
        return new CControlUI;
    if (wcscmp(name, L"Container") == 0)
        return new CContainerUI;
    if (wcscmp(name, L"VerticalLayout") == 0)
        return new CVerticalLayoutUI;
    if (wcscmp(name, L"HorizontalLayout") == 0)
        return new CHorizontalLayoutUI;
    if (wcscmp(name, L"Label") == 0)
        return new CLabelUI;
    if (wcscmp(name, L"Button") == 0)
        return new CButtonUI;
    if (wcscmp(name, L"Edit") == 0)
        return new CEditUI;
    if (wcscmp(name, L"Progress") == 0)
        return new CProgressUI;
    return nullptr;
}

CControlUI* CDialogBuilder::Create(const std::wstring& markupName, const std::wstring& resourceType,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent) {
    m_resourceType = resourceType;
    m_callback = callback;
    const bool loaded = resourceType.empty()
                            ? SkinStore().LoadMarkupFile(m_xml, markupName.c_str())
                            : SkinStore().LoadMarkupResource(m_xml, markupName.c_str(), resourceType.c_str());
    if (!loaded)
        return nullptr;
    return BuildDocument(manager, parent);
}

CControlUI* CDialogBuilder::CreateFromText(const std::wstring& text, IDialogBuilderCallback* callback,
                                           CPaintManagerUI* manager, CControlUI* parent) {
    m_resourceType.clear();
    m_callback = callback;
    if (!m_xml.Load(text.c_str(), text.size()))
        return nullptr;
    return BuildDocument(manager, parent);
}

CControlUI* CDialogBuilder::BuildDocument(CPaintManagerUI* manager, CControlUI* parent) {
    const CMarkupNode root = m_xml.GetRoot();
    if (!root.IsValid())
        return nullptr;

    if (manager) {
        for (CMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
            const wchar_t* name = node.GetName();
            if (wcscmp(name, L"Image") == 0) {
                const wchar_t* image = node.GetAttributeValue(L"name");
                if (*image)
                    manager->AddImage(image, node.GetAttributeValue(L"restype"),
                                      ParseColor(node.GetAttributeValue(L"mask")));
            } else if (wcscmp(name, L"Font") == 0) {
                const std::wstring face = node.GetAttributeValue(L"name");
                if (face.empty())
                    continue;
                const int size = node.HasAttribute(L"size") ? ParseInt(node.GetAttributeValue(L"size")) : 12;
                const bool bold = ParseBool(node.GetAttributeValue(L"bold"));
                const bool underline = ParseBool(node.GetAttributeValue(L"underline"));
                const bool italic = ParseBool(node.GetAttributeValue(L"italic"));
                manager->AddFont(face, size, bold, underline, italic);
                if (ParseBool(node.GetAttributeValue(L"default")))
                    manager->SetDefaultFont(face, size, bold, underline, italic);
            } else if (wcscmp(name, L"Default") == 0) {
                if (node.HasAttribute(L"name"))
                    manager->AddDefaultAttributeList(node.GetAttributeValue(L"name"), node.GetAttributeValue(L"value"));
            }
        }
        if (wcscmp(root.GetName(), L"Window") == 0) {
            for (int i = 0; i < root.GetAttributeCount(); ++i)
                manager->SetWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
        }
    }
    return Parse(root, parent, manager);
}

CControlUI* CDialogBuilder::Include(const CMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager) {
    const std::wstring source = node.GetAttributeValue(L"source");
    if (source.empty())
        return nullptr;
    const int count = node.HasAttribute(L"count") ? ParseInt(node.GetAttributeValue(L"count")) : 1;
    auto& stack = IncludeStack();
    if (stack.size() >= kMaxIncludeDepth ||
        std::any_of(stack.begin(), stack.end(), [&](const std::wstring& s) { return SameName(s, source); }))
        return nullptr;
    CControlUI* first = nullptr;
    stack.push_back(source);
    for (int i = 0; i < count; ++i) {
        CDialogBuilder builder;
        CControlUI* control = builder.Create(source, m_resourceType, m_callback, manager, parent);
        if (!control)
            break; // a markup that yields nothing will not yield anything the next time
        if (!first)
            first = control;
        else if (control && !parent)
            delete control; // nowhere to keep it
    }
    stack.pop_back();
    return first;
}

CControlUI* CDialogBuilder::Parse(const CMarkupNode& parentNode, CControlUI* parent, CPaintManagerUI* manager) {
    CControlUI* first = nullptr;
    auto keep = [&](CControlUI* control) {
        if (!first)
            first = control;
        else if (!parent)
            delete control; // a second top-level control has no owner
    };
    for (CMarkupNode node = parentNode.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* className = node.GetName();
        if (IsDocumentLevelElement(className))
            continue;
        if (wcscmp(className, L"Include") == 0) {
            if (CControlUI* control = Include(node, parent, manager))
                keep(control);
            continue;
        }

        CControlUI* control = CreateBuiltInControl(className);
        if (!control && m_callback)
            control = m_callback->CreateControl(className);
        if (!control)
            continue; // unknown: the element and its subtree are skipped

        if (node.HasChildren())
            Parse(node, control, manager);

        if (parent) {
            auto* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
            if (!container) {
                delete control;
                continue;
            }
            if (!container->Add(control))
                continue; // the container has destroyed it
        }

        if (manager) {
            CControlUI* owner = control->GetParent();
            control->SetManager(manager, owner, false);
            if (const std::wstring* defaults = manager->GetDefaultAttributeList(className))
                control->ApplyAttributeList(*defaults);
            for (int i = 0; i < node.GetAttributeCount(); ++i)
                control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
            control->SetManager(nullptr, owner, false);
        }
        keep(control);
    }
    return first;
}

} // namespace SkinKit
