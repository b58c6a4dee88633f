#include "ButtonUI.h"
#include "EditUI.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "NotifyPump.h"
#include "PaintManagerUI.h"
#include "ProgressUI.h"
#include "VerticalLayoutUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinKit;

namespace {

class NotifyRecorder : public INotifyUI {
public:
    void OnNotify(TNotifyUI& msg) override {
        events.push_back(msg.sType + L":" + (msg.pSender ? msg.pSender->GetName() : std::wstring()));
    }
    std::vector<std::wstring> events;
};

TEventUI MouseEvent(int type, int x, int y) {
    TEventUI e;
    e.Type = type;
    e.ptMouse = POINT{x, y};
    return e;
}

// A window-less paint manager holding a vertical layout laid out at 200 x 100.
struct Fixture {
    CPaintManagerUI pm;
    NotifyRecorder recorder;
    CVerticalLayoutUI* root = new CVerticalLayoutUI;

    template <typename T> T* Add(const wchar_t* name) {
        T* control = new T;
        control->SetName(name);
        root->Add(control);
        return control;
    }
    void Attach() {
        pm.AttachDialog(root);
        pm.AddNotifier(&recorder);
        pm.LayoutTo(RECT{0, 0, 200, 100});
        recorder.events.clear();
    }
    void Send(CControlUI* c, int type, int x, int y) {
        TEventUI e = MouseEvent(type, x, y);
        c->Event(e);
    }
};

} // namespace

TEST(Button, ClicksOnlyWhenPressedAndReleasedInside) {
    Fixture f;
    CButtonUI* button = f.Add<CButtonUI>(L"ok");
    button->SetFixedHeight(40);
    f.Attach();
    ASSERT_EQ(button->GetPos().bottom, 40);

    f.Send(button, UIEVENT_BUTTONDOWN, 10, 10);
    EXPECT_TRUE(button->GetButtonState() & UISTATE_PUSHED);
    f.Send(button, UIEVENT_MOUSEMOVE, 10, 60);
    EXPECT_FALSE(button->GetButtonState() & UISTATE_PUSHED); // dragged off: no longer pushed
    f.Send(button, UIEVENT_BUTTONUP, 10, 60);
    EXPECT_TRUE(f.recorder.events.empty());

    f.Send(button, UIEVENT_BUTTONDOWN, 10, 10);
    f.Send(button, UIEVENT_BUTTONUP, 10, 20);
    EXPECT_EQ(f.recorder.events, std::vector<std::wstring>{L"click:ok"});
    EXPECT_EQ(button->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);

    // Released inside without having been pressed there (pressed elsewhere).
    f.recorder.events.clear();
    f.Send(button, UIEVENT_BUTTONUP, 10, 10);
    EXPECT_TRUE(f.recorder.events.empty());
}

TEST(Button, DisabledOrHiddenButtonsDoNotActivateAndKeysActivateFocusedOnes) {
    Fixture f;
    CButtonUI* button = f.Add<CButtonUI>(L"go");
    f.Attach();

    f.Send(button, UIEVENT_MOUSEENTER, 5, 5);
    EXPECT_TRUE(button->GetButtonState() & UISTATE_HOT);
    f.Send(button, UIEVENT_MOUSELEAVE, 500, 5);
    EXPECT_FALSE(button->GetButtonState() & UISTATE_HOT);

    TEventUI key;
    key.Type = UIEVENT_KEYDOWN;
    key.chKey = VK_RETURN;
    button->Event(key);
    key.chKey = VK_SPACE;
    button->Event(key);
    EXPECT_EQ(f.recorder.events.size(), 2u);

    f.recorder.events.clear();
    button->SetEnabled(false);
    f.Send(button, UIEVENT_MOUSEENTER, 5, 5);
    f.Send(button, UIEVENT_BUTTONDOWN, 5, 5);
    f.Send(button, UIEVENT_BUTTONUP, 5, 5);
    EXPECT_FALSE(button->Activate());
    button->SetEnabled(true);
    button->SetVisible(false);
    EXPECT_FALSE(button->Activate());
    EXPECT_TRUE(f.recorder.events.empty());
}

TEST(Notifications, SenderListenersRunFirstAndMayConsume) {
    Fixture f;
    CButtonUI* button = f.Add<CButtonUI>(L"b");
    f.Attach();
    std::vector<std::wstring> order;
    button->AddNotifyListener([&](TNotifyUI& msg) {
        order.push_back(L"listener:" + msg.sType);
        return msg.sType != L"click";
    });
    button->Activate();
    f.pm.SendNotify(button, L"custom");
    EXPECT_EQ(order, (std::vector<std::wstring>{L"listener:click", L"listener:custom"}));
    EXPECT_EQ(f.recorder.events, std::vector<std::wstring>{L"custom:b"});
}

TEST(PaintManager, WindowInitFollowsTheFirstLayoutOnly) {
    Fixture f;
    f.pm.AttachDialog(f.root);
    f.pm.AddNotifier(&f.recorder);
    f.root->SetName(L"root");
    f.pm.LayoutTo(RECT{0, 0, 50, 50});
    f.root->NeedUpdate(); // as a window size change does
    f.pm.LayoutTo(RECT{0, 0, 60, 60});
    EXPECT_EQ(f.recorder.events, std::vector<std::wstring>{L"windowinit:root"});
    EXPECT_EQ(f.root->GetPos().right, 60);
}

TEST(PaintManager, FloatingControlShownOrResizedLaterIsPlacedFromItsPos) {
    Fixture f;
    CButtonUI* button = f.Add<CButtonUI>(L"restorebtn");
    button->SetAttribute(L"float", L"true");
    button->SetAttribute(L"pos", L"-50,8,-10,40");
    button->SetVisible(false);
    f.Attach();
    button->SetVisible(true);
    f.pm.LayoutTo(RECT{0, 0, 200, 100});
    EXPECT_EQ(button->GetPos().left, 150);
    EXPECT_EQ(button->GetPos().right, 190);
    EXPECT_EQ(button->GetPos().bottom, 40);
    button->SetFixedWidth(60);
    f.pm.LayoutTo(RECT{0, 0, 200, 100});
    EXPECT_EQ(button->GetPos().left, 130);
    EXPECT_EQ(button->GetPos().right, 190);
}

TEST(PaintManager, NameMapIsExactAndFollowsTheTree) {
    Fixture f;
    CButtonUI* first = f.Add<CButtonUI>(L"OkBtn");
    CLabelUI* label = f.Add<CLabelUI>(L"copyLog");
    f.Attach();
    EXPECT_EQ(f.pm.FindControl(L"OkBtn"), first);
    EXPECT_EQ(f.pm.FindControl(L"okbtn"), nullptr);
    EXPECT_EQ(f.pm.FindControl(L"missing"), nullptr);
    EXPECT_EQ(f.pm.FindControl(L"copyLog"), label);

    // A later control of the same name replaces the entry; removing it forgets it.
    CButtonUI* second = new CButtonUI;
    second->SetName(L"OkBtn");
    f.root->Add(second);
    EXPECT_EQ(f.pm.FindControl(L"OkBtn"), second);
    f.root->Remove(second);
    EXPECT_EQ(f.pm.FindControl(L"OkBtn"), nullptr);
    f.root->Remove(label);
    EXPECT_EQ(f.pm.FindControl(L"copyLog"), nullptr);
}

TEST(PaintManager, FocusAndTabOrderSkipDisabledAndHiddenControlsAndWrap) {
    Fixture f;
    CEditUI* edit = f.Add<CEditUI>(L"edit");
    CButtonUI* disabled = f.Add<CButtonUI>(L"disabled");
    CLabelUI* label = f.Add<CLabelUI>(L"label");
    CButtonUI* button = f.Add<CButtonUI>(L"button");
    CButtonUI* noKeyboard = f.Add<CButtonUI>(L"nokeys");
    disabled->SetEnabled(false);
    noKeyboard->SetKeyboardEnabled(false);
    (void)label;
    f.Attach();

    EXPECT_TRUE(f.pm.SetNextTabControl(true));
    EXPECT_EQ(f.pm.GetFocus(), edit);
    f.pm.SetNextTabControl(true);
    EXPECT_EQ(f.pm.GetFocus(), button);
    f.pm.SetNextTabControl(true);
    EXPECT_EQ(f.pm.GetFocus(), edit);
    f.pm.SetNextTabControl(false);
    EXPECT_EQ(f.pm.GetFocus(), button);
    EXPECT_EQ(f.recorder.events,
              (std::vector<std::wstring>{L"setfocus:edit", L"killfocus:edit", L"setfocus:button", L"killfocus:button",
                                         L"setfocus:edit", L"killfocus:edit", L"setfocus:button"}));

    // A disabled control cannot take the focus; hiding the focused one drops it.
    f.pm.SetFocus(disabled);
    EXPECT_EQ(f.pm.GetFocus(), nullptr);
    f.pm.SetFocus(button);
    button->SetVisible(false);
    EXPECT_EQ(f.pm.GetFocus(), nullptr);
}

TEST(PaintManager, AltShortcutFocusesAndActivatesTheFirstEnabledMatch) {
    Fixture f;
    CButtonUI* disabled = f.Add<CButtonUI>(L"disabled");
    disabled->SetAttribute(L"shortcut", L"o");
    disabled->SetEnabled(false);
    CButtonUI* ok = f.Add<CButtonUI>(L"ok");
    ok->SetAttribute(L"shortcut", L"o");
    CButtonUI* later = f.Add<CButtonUI>(L"later");
    later->SetAttribute(L"shortcut", L"O");
    f.Attach();
    LRESULT result = 0;
    EXPECT_TRUE(f.pm.PreMessageHandler(WM_SYSCHAR, L'O', 0, result));
    EXPECT_EQ(f.pm.GetFocus(), ok);
    EXPECT_EQ(f.recorder.events, (std::vector<std::wstring>{L"setfocus:ok", L"click:ok"}));
    EXPECT_FALSE(f.pm.PreMessageHandler(WM_SYSCHAR, L'x', 0, result));
}

TEST(PaintManager, PreMessageFiltersSeeKeysFirstAndMayClaimThem) {
    struct ClaimKeys : IMessageFilterUI {
        LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& handled) override {
            ++seen;
            handled = claim && uMsg == WM_KEYDOWN;
            return 5;
        }
        int seen = 0;
        bool claim = true;
    } filter;
    Fixture f;
    CButtonUI* button = f.Add<CButtonUI>(L"button");
    f.Attach();
    f.pm.AddPreMessageFilter(&filter);
    LRESULT result = 0;
    EXPECT_TRUE(f.pm.PreMessageHandler(WM_KEYDOWN, VK_TAB, 0, result));
    EXPECT_EQ(result, 5);
    EXPECT_EQ(f.pm.GetFocus(), nullptr);
    filter.claim = false;
    EXPECT_TRUE(f.pm.PreMessageHandler(WM_KEYDOWN, VK_TAB, 0, result));
    EXPECT_EQ(f.pm.GetFocus(), button);
    // Other keys pass through unclaimed.
    EXPECT_FALSE(f.pm.PreMessageHandler(WM_KEYDOWN, VK_ESCAPE, 0, result));
    EXPECT_EQ(filter.seen, 3);
}

TEST(Label, HeightComesFromTheFontUnlessFixed) {
    Fixture f;
    ASSERT_TRUE(f.pm.AddFont(L"微软雅黑", 14, false, false, false));
    CLabelUI* label = f.Add<CLabelUI>(L"a");
    label->SetFont(0);
    CLabelUI* fixed = f.Add<CLabelUI>(L"b");
    fixed->SetFixedHeight(30);
    f.Attach();
    const TEXTMETRICW& tm = f.pm.GetFontInfo(0).tm;
    EXPECT_GE(tm.tmAscent + tm.tmDescent, 14);
    EXPECT_EQ(label->GetHeight(), tm.tmAscent + tm.tmDescent + 4);
    EXPECT_EQ(fixed->GetHeight(), 30);
    EXPECT_EQ(fixed->GetPos().top, label->GetPos().bottom);
}

TEST(Label, AlignWordsSetDrawTextFlags) {
    EXPECT_EQ(ApplyAlignWords(DT_VCENTER, L"center"), UINT(DT_VCENTER | DT_CENTER));
    EXPECT_EQ(ApplyAlignWords(DT_SINGLELINE | DT_CENTER, L"right"), UINT(DT_RIGHT));
    EXPECT_EQ(ApplyAlignWords(DT_SINGLELINE | DT_CENTER | DT_RIGHT, L"left"), 0u);
    EXPECT_EQ(ApplyVAlignWords(DT_VCENTER, L"bottom"), UINT(DT_BOTTOM | DT_SINGLELINE));
    CLabelUI label;
    label.SetAttribute(L"align", L"center");
    EXPECT_TRUE(label.GetTextStyle() & DT_CENTER);
    CButtonUI button;
    EXPECT_EQ(button.GetTextStyle(), UINT(DT_SINGLELINE | DT_VCENTER | DT_CENTER));
}

TEST(Edit, ReadOnlyEmptyEditShowsItsTipInTheTipColour) {
    Fixture f;
    CEditUI* edit = f.Add<CEditUI>(L"oldFileDir");
    edit->SetAttribute(L"tipvalue", L"旧目录位置");
    edit->SetAttribute(L"tipvaluecolor", L"#FF666666");
    edit->SetAttribute(L"textcolor", L"#FF123456");
    edit->SetAttribute(L"readonly", L"true");
    f.Attach();
    EXPECT_TRUE(edit->IsReadOnly());
    EXPECT_EQ(edit->DisplayText(), L"旧目录位置");
    EXPECT_EQ(edit->DisplayColor(), 0xFF666666u);
    edit->SetText(L"C:\\Profiles");
    EXPECT_EQ(edit->DisplayText(), L"C:\\Profiles");
    EXPECT_EQ(edit->DisplayColor(), 0xFF123456u);
    edit->SetAttribute(L"password", L"true");
    EXPECT_EQ(edit->DisplayText(), std::wstring(11, L'*'));
    edit->SetEnabled(false);
    EXPECT_EQ(edit->DisplayColor(), f.pm.GetDefaultDisabledColor());
    // Construction defaults: border, padding and white background.
    EXPECT_EQ(edit->GetBorderSize(), 1);
    EXPECT_EQ(edit->GetBorderColor(), 0xFFBAC0C5u);
    EXPECT_EQ(edit->GetTextPadding().left, 4);
    EXPECT_EQ(edit->GetBkColor(), 0xFFFFFFFFu);
}

TEST(Progress, FillFollowsValueAndRange) {
    Fixture f;
    CProgressUI* bar = f.Add<CProgressUI>(L"copyProgressBar");
    EXPECT_EQ(bar->GetFixedHeight(), 12);
    bar->SetAttribute(L"height", L"3");
    bar->SetAttribute(L"value", L"37");
    bar->SetAttribute(L"padding", L"0,0,0,0");
    bar->SetMaxWidth(400);
    f.Attach();
    ASSERT_EQ(bar->GetWidth(), 200);
    EXPECT_EQ(bar->GetFillRect().right, 74);
    bar->SetValue(150);
    EXPECT_EQ(bar->GetFillRect().right, 200);
    bar->SetAttribute(L"min", L"100");
    bar->SetAttribute(L"max", L"100");
    bar->SetValue(100);
    EXPECT_EQ(bar->GetFillRect().right, 0); // treated as 100..101
    bar->SetValue(150);
    EXPECT_EQ(bar->GetFillRect().right, 200);
}

TEST(Controls, ClassAndInterfaceNames) {
    CVerticalLayoutUI v;
    CHorizontalLayoutUI h;
    CButtonUI b;
    CEditUI e;
    CProgressUI p;
    EXPECT_STREQ(v.GetClass(), L"VerticalLayoutUI");
    EXPECT_NE(v.GetInterface(L"IContainer"), nullptr);
    EXPECT_NE(v.GetInterface(L"Container"), nullptr);
    EXPECT_NE(h.GetInterface(L"HorizontalLayout"), nullptr);
    EXPECT_EQ(h.GetInterface(L"VerticalLayout"), nullptr);
    EXPECT_STREQ(b.GetClass(), L"ButtonUI");
    EXPECT_NE(b.GetInterface(L"Label"), nullptr);
    EXPECT_NE(b.GetInterface(L"Control"), nullptr);
    EXPECT_EQ(b.GetInterface(L"IContainer"), nullptr);
    EXPECT_STREQ(e.GetClass(), L"EditUI");
    EXPECT_STREQ(p.GetClass(), L"ProgressUI");
    EXPECT_NE(p.GetInterface(L"Progress"), nullptr);
}

TEST(NotifyMap, NamedEntryWinsElseTheLastEntryForAnyControl) {
    const NotifyMapEntry entries[] = {
        {L"click", L"", NotifyHandlerMessage, nullptr, nullptr},
        {L"click", L"ok", NotifyHandlerMessage, nullptr, nullptr},
        {L"click", L"", NotifyHandlerParams, nullptr, nullptr},
        {L"setfocus", L"ok", NotifyHandlerMessage, nullptr, nullptr},
        {L"", L"", NotifyHandlerEnd, nullptr, nullptr},
    };
    CButtonUI ok, other;
    ok.SetName(L"ok");
    other.SetName(L"other");
    TNotifyUI msg;
    msg.sType = L"click";
    msg.pSender = &ok;
    EXPECT_EQ(FindNotifyEntry(entries, msg), &entries[1]);
    msg.pSender = &other;
    EXPECT_EQ(FindNotifyEntry(entries, msg), &entries[2]);
    msg.sType = L"setfocus";
    EXPECT_EQ(FindNotifyEntry(entries, msg), nullptr);
}

// A new dpi (WM_DPICHANGED) scales every markup length of the tree and the
// fonts; going back gives the very same places (nothing drifts).
TEST(PaintManager, ANewDpiScalesTheTreeAndItsFontsAndGoingBackRestoresThem) {
    Fixture f;
    ASSERT_TRUE(f.pm.AddFont(L"微软雅黑", 12, false, false, false));
    CButtonUI* button = f.Add<CButtonUI>(L"ok");
    button->SetAttribute(L"width", L"112");
    button->SetAttribute(L"height", L"32");
    button->SetAttribute(L"padding", L"10,5,0,0");
    CButtonUI* corner = f.Add<CButtonUI>(L"close");
    corner->SetAttribute(L"float", L"true");
    corner->SetAttribute(L"pos", L"-50,8,-10,40");
    f.Attach();
    const RECT at96 = button->GetPos(), cornerAt96 = corner->GetPos();
    const int text96 = f.pm.GetFontInfo(0).tm.tmHeight;

    f.pm.SetDpi(144);
    f.pm.LayoutTo(RECT{0, 0, 300, 150});
    EXPECT_EQ(button->GetPos().left, 15);
    EXPECT_EQ(button->GetPos().top, 8) << "7.5 rounds up";
    EXPECT_EQ(button->GetWidth(), 168);
    EXPECT_EQ(button->GetHeight(), 48);
    EXPECT_EQ(corner->GetPos().left, 300 - 75);
    EXPECT_EQ(corner->GetPos().top, 12);
    EXPECT_EQ(corner->GetWidth(), 60);
    EXPECT_NEAR(f.pm.GetFontInfo(0).tm.tmHeight, text96 * 3 / 2, 2) << "the font is made at 18 pixels";

    f.pm.SetDpi(96);
    f.pm.LayoutTo(RECT{0, 0, 200, 100});
    EXPECT_TRUE(::EqualRect(&button->GetPos(), &at96));
    EXPECT_TRUE(::EqualRect(&corner->GetPos(), &cornerAt96));
    EXPECT_EQ(f.pm.GetFontInfo(0).tm.tmHeight, text96);
}
