// Notification delivery through the window host's maps, without a native window.
#include "ButtonUI.h"
#include "WindowImplBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinKit;

namespace {

class RecordingWindow : public WindowImplBase {
public:
    void OnButtonClick(TNotifyUI& msg) override { clicks.push_back(msg.pSender->GetName()); }
    std::vector<std::wstring> clicks;

protected:
    const wchar_t* WindowClassName() const override { return L"SkinKitTestWindow"; }
};

// A virtual window with a map of its own: one handler for "click" on "next".
class PagePump : public CNotifyPump {
public:
    static void OnNext(CNotifyPump* self, TNotifyUI&) { ++static_cast<PagePump*>(self)->nextClicks; }
    static void OnAnySetFocus(CNotifyPump* self, WPARAM wParam, LPARAM) {
        static_cast<PagePump*>(self)->lastFocusParam = static_cast<int>(wParam);
    }
    const NotifyMap* GetNotifyMap() const override {
        static const NotifyMapEntry entries[] = {
            {L"click", L"next", NotifyHandlerMessage, nullptr, &PagePump::OnNext},
            {L"setfocus", L"", NotifyHandlerParams, &PagePump::OnAnySetFocus, nullptr},
            {L"", L"", NotifyHandlerEnd, nullptr, nullptr},
        };
        static const NotifyMap map = {CNotifyPump::GetNotifyMap(), entries};
        return &map;
    }
    int nextClicks = 0;
    int lastFocusParam = 0;
};

TNotifyUI Notification(const wchar_t* type, CControlUI* sender, const wchar_t* virtualWnd = L"") {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.sVirtualWnd = virtualWnd;
    return msg;
}

} // namespace

TEST(NotifyDispatch, ClicksReachOnButtonClickThroughTheHostsMap) {
    RecordingWindow window;
    CButtonUI ok;
    ok.SetName(L"OkBtn");
    TNotifyUI click = Notification(L"click", &ok);
    window.OnNotify(click);
    TNotifyUI focus = Notification(L"setfocus", &ok);
    window.OnNotify(focus);
    EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"OkBtn"});
    EXPECT_EQ(window.GetPaintManager()->GetRoot(), nullptr);
    EXPECT_EQ(window.SkinSourceKind(), SkinSourceFolder);
    EXPECT_TRUE(window.SkinFileName().empty());
    EXPECT_EQ(window.CreateControl(L"Anything"), nullptr);
}

TEST(NotifyDispatch, NamedVirtualWindowsHandleTheirOwnNotifications) {
    RecordingWindow window;
    PagePump page;
    ASSERT_TRUE(window.AddVirtualWnd(L"Page", &page));
    EXPECT_FALSE(window.AddVirtualWnd(L"Page", &page));
    CButtonUI next, other;
    next.SetName(L"next");
    other.SetName(L"other");

    TNotifyUI toPage = Notification(L"click", &next, L"PAGE");
    window.OnNotify(toPage);
    EXPECT_EQ(page.nextClicks, 1);
    EXPECT_TRUE(window.clicks.empty());

    // The page has no entry for this sender: the window's own map takes it.
    TNotifyUI unhandled = Notification(L"click", &other, L"page");
    window.OnNotify(unhandled);
    EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"other"});

    TNotifyUI focus = Notification(L"setfocus", &other, L"page");
    focus.wParam = 7;
    window.OnNotify(focus);
    EXPECT_EQ(page.lastFocusParam, 7);

    EXPECT_TRUE(window.RemoveVirtualWnd(L"Page"));
    TNotifyUI afterRemoval = Notification(L"click", &next, L"Page");
    window.OnNotify(afterRemoval);
    EXPECT_EQ(page.nextClicks, 1);
    EXPECT_EQ(window.clicks.size(), 2u);
}
