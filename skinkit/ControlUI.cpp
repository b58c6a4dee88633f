#include "ControlUI.h"

#include "LayoutMath.h"
#include "PaintManagerUI.h"
#include "RenderEngine.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

namespace {

UiRect ToUi(const RECT& r) {
    return UiRect{r.left, r.top, r.right, r.bottom};
}
RECT ToWin(const UiRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

} // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager)
        m_pManager->ReapObjects(this);
}

const wchar_t* CControlUI::GetClass() const {
    return L"ControlUI";
}

void* CControlUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"Control") == 0)
        return this;
    return nullptr;
}

void CControlUI::SetText(const std::wstring& text) {
    if (m_sText == text)
        return;
    m_sText = text;
    Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pParent)
        Init();
}

void CControlUI::SetPos(RECT rc, bool needInvalidate) {
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;

    RECT old = m_rcItem;
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    for (auto& listener : m_sizeListeners)
        listener(this);

    // A floating control put somewhere else than its markup place keeps the
    // new place, in markup units (at 96 dpi).
    const RECT markupPlace = GetFloatRect();
    if (m_bFloat && m_pParent && !::EqualRect(&m_rcItem, &markupPlace)) {
        const RECT& parentPos = m_pParent->GetPos();
        const SIZE scaledXY = GetFixedXY();
        int x = scaledXY.cx, y = scaledXY.cy;
        FloatingOffsetFromRect(ToUi(parentPos), ToUi(m_rcItem), x, y);
        const int dpi = m_pManager ? m_pManager->GetDpi() : kBaseDpi;
        auto unscale = [dpi](int v) { return UnscaleLength(v, dpi); };
        m_cXY = SIZE{unscale(x), unscale(y)};
        m_cxyFixed = SIZE{unscale(m_rcItem.right - m_rcItem.left), unscale(m_rcItem.bottom - m_rcItem.top)};
    }

    if (!needInvalidate || !m_pManager)
        return;
    // Old and new areas, each clipped by every ancestor; nothing when an
    // ancestor does not meet them.
    for (const RECT& area : {old, m_rcItem}) {
        UiRect r = ToUi(area);
        bool visible = !r.IsEmpty();
        for (CControlUI* p = m_pParent; p && visible; p = p->GetParent()) {
            r = IntersectRects(r, ToUi(p->GetPos()));
            visible = !r.IsEmpty();
        }
        if (visible)
            m_pManager->Invalidate(ToWin(r));
    }
}

int CControlUI::Scaled(int length) const {
    return m_pManager ? ScaleLength(length, m_pManager->GetDpi()) : length;
}

RECT CControlUI::Scaled(const RECT& edges) const {
    return RECT{Scaled(edges.left), Scaled(edges.top), Scaled(edges.right), Scaled(edges.bottom)};
}

SIZE CControlUI::GetFixedXY() const {
    return SIZE{Scaled(m_cXY.cx), Scaled(m_cXY.cy)};
}

RECT CControlUI::GetFloatRect() const {
    if (!m_pParent)
        return m_rcItem;
    const SIZE xy = GetFixedXY();
    const UiRect r = FloatingRect(ToUi(m_pParent->GetPos()), xy.cx, xy.cy, GetFixedWidth(), GetFixedHeight());
    return ToWin(r);
}

void CControlUI::SetFixedXY(SIZE xy) {
    m_cXY = xy;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyMin.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyMax.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyMin.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyMax.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetPadding(RECT rc) {
    m_rcPadding = rc;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool value) {
    if (m_bFloat == value)
        return;
    m_bFloat = value;
    NeedParentUpdate();
}

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible)
        return;
    const bool wasVisible = IsVisible();
    m_bVisible = visible;
    if (!IsVisible() && m_bFocused && m_pManager)
        m_pManager->SetFocus(nullptr);
    if (IsVisible() != wasVisible)
        NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    m_bInternVisible = visible;
    if (!visible && m_bFocused && m_pManager)
        m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
    if (m_bEnabled == enabled)
        return;
    m_bEnabled = enabled;
    // A disabled control keeps no focus: keys would go to a control that cannot answer.
    if (!enabled && m_bFocused && m_pManager)
        m_pManager->SetFocus(nullptr);
    Invalidate();
}

void CControlUI::SetFocus() {
    if (m_pManager)
        m_pManager->SetFocus(this);
}

void CControlUI::SetBkColor(DWORD color) {
    m_dwBackColor = color;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color) {
    m_dwBorderColor = color;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    m_nBorderSize = size;
    m_bSideBorders = false;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image) {
    m_sBkImage = image;
    Invalidate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled())
        return nullptr;
    if ((flags & UIFIND_HITTEST) != 0) {
        const POINT* pt = static_cast<const POINT*>(data);
        if (!m_bMouseEnabled || !::PtInRect(&m_rcItem, *pt))
            return nullptr;
    }
    return proc(this, data);
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

void CControlUI::Invalidate() {
    if (!IsVisible() || !m_pManager)
        return;
    UiRect r = ToUi(m_rcItem);
    for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
        r = IntersectRects(r, ToUi(p->GetPos()));
        if (r.IsEmpty())
            return;
    }
    m_pManager->Invalidate(ToWin(r));
}

void CControlUI::NeedUpdate() {
    if (!IsVisible())
        return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager)
        m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent && !m_bFloat) {
        m_pParent->NeedUpdate();
        m_pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager)
        m_pManager->NeedUpdate();
}

void CControlUI::Init() {
    DoInit();
}

void CControlUI::Event(TEventUI& event) {
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return;
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    default:
        break;
    }
    if (m_pParent)
        m_pParent->DoEvent(event);
}

bool CControlUI::DispatchToListeners(TNotifyUI& msg) {
    for (auto& listener : m_notifyListeners) {
        if (!listener(msg))
            return false;
    }
    return true;
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"pos") {
        SkinRect r = ParseRect(value);
        PosValue p = InterpretPos(r.left, r.top, r.right, r.bottom);
        m_cXY = SIZE{p.offsetX, p.offsetY};
        if (p.width >= 0)
            m_cxyFixed.cx = p.width;
        if (p.height >= 0)
            m_cxyFixed.cy = p.height;
        NeedParentUpdate();
    } else if (n == L"padding") {
        SkinRect r = ParseRect(value);
        SetPadding(RECT{r.left, r.top, r.right, r.bottom});
    } else if (n == L"bkcolor" || n == L"bkcolor1") {
        SetBkColor(ParseColor(value));
    } else if (n == L"bkcolor2") {
        m_dwBackColor2 = ParseColor(value);
    } else if (n == L"bkcolor3") {
        m_dwBackColor3 = ParseColor(value);
    } else if (n == L"disabledbkcolor") {
        m_dwDisabledBkColor = ParseColor(value);
    } else if (n == L"bordercolor") {
        SetBorderColor(ParseColor(value));
    } else if (n == L"focusbordercolor") {
        m_dwFocusBorderColor = ParseColor(value);
    } else if (n == L"focusmark") {
        m_dwFocusMarkColor = ParseColor(value);
    } else if (n == L"focusmarksize") {
        m_nFocusMarkSize = ParseInt(value) < 1 ? 1 : ParseInt(value);
    } else if (n == L"tabstop") {
        m_bTabStop = ParseBool(value);
    } else if (n == L"bordersize") {
        if (wcschr(value, L',')) {
            SkinRect r = ParseRect(value);
            m_rcBorderSize = RECT{r.left, r.top, r.right, r.bottom};
            m_bSideBorders = true;
            Invalidate();
        } else {
            SetBorderSize(ParseInt(value));
        }
    } else if (n == L"leftbordersize") {
        m_rcBorderSize.left = ParseInt(value);
        m_bSideBorders = true;
    } else if (n == L"topbordersize") {
        m_rcBorderSize.top = ParseInt(value);
        m_bSideBorders = true;
    } else if (n == L"rightbordersize") {
        m_rcBorderSize.right = ParseInt(value);
        m_bSideBorders = true;
    } else if (n == L"bottombordersize") {
        m_rcBorderSize.bottom = ParseInt(value);
        m_bSideBorders = true;
    } else if (n == L"borderround") {
        SkinSize s = ParseSize(value);
        m_cxyBorderRound = SIZE{s.cx, s.cy};
    } else if (n == L"bkimage") {
        SetBkImage(value);
    } else if (n == L"width") {
        SetFixedWidth(ParseInt(value));
    } else if (n == L"height") {
        SetFixedHeight(ParseInt(value));
    } else if (n == L"minwidth") {
        SetMinWidth(ParseInt(value));
    } else if (n == L"minheight") {
        SetMinHeight(ParseInt(value));
    } else if (n == L"maxwidth") {
        SetMaxWidth(ParseInt(value));
    } else if (n == L"maxheight") {
        SetMaxHeight(ParseInt(value));
    } else if (n == L"name") {
        SetName(value);
    } else if (n == L"text") {
        SetText(value);
    } else if (n == L"tooltip") {
        m_sToolTip = value;
    } else if (n == L"userdata") {
        m_sUserData = value;
    } else if (n == L"enabled") {
        SetEnabled(ParseBool(value));
    } else if (n == L"mouse") {
        SetMouseEnabled(ParseBool(value));
    } else if (n == L"keyboard") {
        SetKeyboardEnabled(ParseBool(value));
    } else if (n == L"visible") {
        SetVisible(ParseBool(value));
    } else if (n == L"float") {
        SetFloat(ParseBool(value));
    } else if (n == L"virtualwnd") {
        m_sVirtualWnd = value;
    } else if (n == L"shortcut") {
        SetShortcut(value[0]);
    }
    // Every other name (effects, styles, menus, relative positions, ...) is accepted and ignored.
}

void CControlUI::ApplyAttributeList(const std::wstring& list) {
    for (const auto& pair : ParseAttributeList(list.c_str()))
        SetAttribute(pair.first.c_str(), pair.second.c_str());
}

SIZE CControlUI::EstimateSize(SIZE) {
    return SIZE{GetFixedWidth(), GetFixedHeight()};
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT clip;
    if (!::IntersectRect(&clip, &rcPaint, &m_rcItem))
        return;
    const SIZE round{Scaled(m_cxyBorderRound.cx), Scaled(m_cxyBorderRound.cy)};
    ClipScope scope(hDC, m_rcItem, round);
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
    if (m_bFocused)
        PaintFocusMark(hDC);
}

void CControlUI::PaintFocusMark(HDC hDC) {
    if (m_dwFocusMarkColor != 0)
        DrawRectOutline(hDC, m_rcItem, Scaled(m_nFocusMarkSize), m_dwFocusMarkColor);
}

void CControlUI::PaintBkColor(HDC hDC) {
    DWORD first = m_dwBackColor;
    if (!IsEnabled() && m_dwDisabledBkColor != 0)
        first = m_dwDisabledBkColor;
    if (first == 0)
        return;
    if (m_dwBackColor2 == 0) {
        DrawColor(hDC, m_rcItem, first);
    } else if (m_dwBackColor3 == 0) {
        DrawGradient(hDC, m_rcItem, first, m_dwBackColor2);
    } else {
        RECT top = m_rcItem, bottom = m_rcItem;
        top.bottom = bottom.top = (m_rcItem.top + m_rcItem.bottom) / 2;
        DrawGradient(hDC, top, first, m_dwBackColor2);
        DrawGradient(hDC, bottom, m_dwBackColor2, m_dwBackColor3);
    }
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (!m_sBkImage.empty())
        DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintBorder(HDC hDC) {
    DWORD color = m_dwBorderColor;
    if (m_bFocused && m_dwFocusBorderColor != 0)
        color = m_dwFocusBorderColor;
    if (color == 0)
        return;
    if (m_bSideBorders) {
        DrawSideBorders(hDC, m_rcItem, Scaled(m_rcBorderSize), color);
    } else if (m_nBorderSize > 0) {
        if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)
            DrawRoundRect(hDC, m_rcItem, SIZE{Scaled(m_cxyBorderRound.cx), Scaled(m_cxyBorderRound.cy)},
                          Scaled(m_nBorderSize), color);
        else
            DrawRectOutline(hDC, m_rcItem, Scaled(m_nBorderSize), color);
    }
}

bool CControlUI::DrawImage(HDC hDC, std::wstring& description, const wchar_t* modify) {
    if (description.empty() || !m_pManager)
        return false;
    if (DrawImageString(hDC, *m_pManager, m_rcItem, description, modify))
        return true;
    description.clear();
    return false;
}

} // namespace SkinKit
