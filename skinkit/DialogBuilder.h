// Turns a markup document into the paint manager's fonts, images and default
// attribute lists and a tree of controls.
#pragma once

#include "ControlUI.h"
#include "MarkupParser.h"

#include <string>

namespace SkinKit {

class CPaintManagerUI;

// Asked for controls of classes the builder does not create itself.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(const wchar_t* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// Creates one of the built-in control classes by its element name (compared
// exactly); null for every other name.
CControlUI* CreateBuiltInControl(const wchar_t* elementName);

class CDialogBuilder {
public:
    CDialogBuilder() = default;
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // Builds the skin file `markupName`, or with a resource type the resource of
    // that type whose numeric id is the text of `markupName`. Returns the first
    // top-level control (owned by `parent` when one is given, else by the
    // caller), or null when the markup cannot be loaded or yields no control.
    CControlUI* Create(const std::wstring& markupName, const std::wstring& resourceType,
                       IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent = nullptr);
    // The same from markup text already in memory.
    CControlUI* CreateFromText(const std::wstring& text, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                               CControlUI* parent = nullptr);

    const CMarkup& GetMarkup() const { return m_xml; }
    const wchar_t* GetLastErrorMessage() const { return m_xml.GetLastErrorMessage(); }

private:
    CControlUI* BuildDocument(CPaintManagerUI* manager, CControlUI* parent);
    CControlUI* Parse(const CMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager);
    CControlUI* Include(const CMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager);

    CMarkup m_xml;
    std::wstring m_resourceType;
    IDialogBuilderCallback* m_callback = nullptr;
};

} // namespace SkinKit
