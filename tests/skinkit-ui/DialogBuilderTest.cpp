#include "ButtonUI.h"
#include "ContainerUI.h"
#include "DialogBuilder.h"
#include "EditUI.h"
#include "LabelUI.h"
#include "PaintManagerUI.h"
#include "ProgressUI.h"
#include "ScrollBarUI.h"
#include "TestSkinFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace SkinKit;

namespace {

// Builds markup text into a paint manager and attaches the tree.
struct Built {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = nullptr;

    explicit Built(const std::wstring& markup, IDialogBuilderCallback* callback = nullptr) {
        root = builder.CreateFromText(markup, callback, &pm);
        if (root) {
            pm.AttachDialog(root);
            pm.LayoutTo(RECT{0, 0, 500, 350});
        }
    }
    template <typename T> T* Find(const wchar_t* name) { return static_cast<T*>(pm.FindControl(name)); }
};

class CountingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(const wchar_t* className) override {
        asked += className;
        asked += L";";
        return std::wstring(className) == L"Spacer" ? new CControlUI : nullptr;
    }
    std::wstring asked;
};

} // namespace

TEST(Builder, DefaultListsApplyFirstThenTheElementsOwnAttributes) {
    Built b(LR"(<Window>
        <Default name="Button" value="width=&quot;50&quot; height=&quot;20&quot; textcolor=&quot;#FF112233&quot;" />
        <VerticalLayout>
            <Button name="a" height="30" />
            <Button name="b" />
            <Label name="c" />
        </VerticalLayout>
    </Window>)");
    ASSERT_NE(b.root, nullptr);
    auto* a = b.Find<CButtonUI>(L"a");
    auto* bb = b.Find<CButtonUI>(L"b");
    ASSERT_TRUE(a && bb);
    EXPECT_EQ(a->GetFixedWidth(), 50);
    EXPECT_EQ(a->GetFixedHeight(), 30);
    EXPECT_EQ(bb->GetFixedHeight(), 20);
    EXPECT_EQ(bb->GetTextColor(), 0xFF112233u);
    EXPECT_EQ(b.Find<CLabelUI>(L"c")->GetFixedWidth(), 0); // a Default applies to its class name only
}

TEST(Builder, UnknownElementsAreSkippedWithTheirSubtree) {
    CountingCallback callback;
    Built b(LR"(<Window><HorizontalLayout name="row">
            <Control name="first" />
            <Mystery name="m"><Button name="inside" /></Mystery>
            <TileLayout name="tile"><Button name="tileChild" /></TileLayout>
            <Spacer name="made" />
            <Button name="after" />
        </HorizontalLayout></Window>)",
            &callback);
    ASSERT_NE(b.root, nullptr);
    auto* row = static_cast<CContainerUI*>(b.root->GetInterface(L"Container"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->GetCount(), 3);
    EXPECT_EQ(b.pm.FindControl(L"inside"), nullptr);
    EXPECT_EQ(b.pm.FindControl(L"tileChild"), nullptr);
    EXPECT_NE(b.pm.FindControl(L"made"), nullptr);
    EXPECT_NE(b.pm.FindControl(L"after"), nullptr);
    EXPECT_EQ(callback.asked, L"Mystery;TileLayout;Spacer;");
}

TEST(Builder, FontsAreIndexedWithFallbackToTheDefaultFont) {
    Built b(LR"(<Window size="500,350">
        <Font name="微软雅黑" size="12" default="true" />
        <Font name="微软雅黑" size="14" bold="TRUE" />
        <Font size="40" />
        <Font name="微软雅黑" size="16" bold="true" underline="true" />
        <VerticalLayout><Label name="l1" font="1" /><Label name="l7" font="7" /></VerticalLayout>
    </Window>)");
    ASSERT_NE(b.root, nullptr);
    ASSERT_EQ(b.pm.GetFontCount(), 3u); // the font without a name adds nothing
    const TFontInfo& second = b.pm.GetFontInfo(b.Find<CLabelUI>(L"l1")->GetFont());
    EXPECT_EQ(second.iSize, 14);
    EXPECT_FALSE(second.bBold); // "TRUE" is not "true"
    LOGFONTW lf{};
    ::GetObjectW(second.hFont, sizeof(lf), &lf);
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_LT(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(b.pm.GetFontInfo(2).bBold);
    EXPECT_TRUE(b.pm.GetFontInfo(2).bUnderline);

    const TFontInfo& fallback = b.pm.GetFontInfo(b.Find<CLabelUI>(L"l7")->GetFont());
    EXPECT_EQ(fallback.hFont, b.pm.GetDefaultFont());
    EXPECT_EQ(fallback.iSize, 12);
    EXPECT_NE(fallback.hFont, b.pm.GetFontInfo(0).hFont); // its own handle, same description
    EXPECT_EQ(b.pm.GetInitSize().cx, 500);
}

TEST(Builder, ScrollBarDefaultsStyleOnlyTheBarsContainersCreate) {
    Built b(LR"(<Window>
        <Default name="VScrollBar" value="thumbnormalimage=&quot;file='scrollbar.bmp' source='0,126,16,142'&quot; width=&quot;12&quot;" />
        <VerticalLayout name="list" vscrollbar="true"><Button name="b" /></VerticalLayout>
    </Window>)");
    ASSERT_NE(b.root, nullptr);
    auto* list = b.Find<CContainerUI>(L"list");
    ASSERT_NE(list->GetVerticalScrollBar(), nullptr);
    EXPECT_EQ(list->GetHorizontalScrollBar(), nullptr);
    EXPECT_EQ(list->GetVerticalScrollBar()->GetPartImage(L"thumbnormalimage"),
              L"file='scrollbar.bmp' source='0,126,16,142'");
    EXPECT_EQ(list->GetVerticalScrollBar()->GetFixedWidth(), 12);
    EXPECT_EQ(b.Find<CButtonUI>(L"b")->GetFixedWidth(), 0);
    // Nothing to scroll: the bar stays hidden and the child keeps the full width.
    EXPECT_FALSE(list->GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(b.Find<CButtonUI>(L"b")->GetWidth(), 500);

    // Content taller than the list: the bar appears and takes its width off the children.
    Built tall(LR"(<Window>
        <Default name="VScrollBar" value="width=&quot;12&quot;" />
        <VerticalLayout name="list" vscrollbar="true"><Control name="big" height="900" /></VerticalLayout>
    </Window>)");
    ASSERT_NE(tall.root, nullptr);
    CScrollBarUI* bar = tall.Find<CContainerUI>(L"list")->GetVerticalScrollBar();
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(bar->GetScrollRange(), 900 - 350);
    EXPECT_EQ(bar->GetPos().left, 488);
    EXPECT_EQ(tall.pm.FindControl(L"big")->GetWidth(), 488);
}

TEST(Builder, WindowAttributesReachThePaintManager) {
    Built b(LR"(<Window size="500;350" sizebox="1,2,3,4" caption="0,0,0,32" roundcorner="5,6" mininfo="400 300"
                        maxinfo="800,600" alpha="200" showshadow="true"><Control /></Window>)");
    ASSERT_NE(b.root, nullptr);
    EXPECT_EQ(b.pm.GetInitSize().cy, 350);
    EXPECT_EQ(b.pm.GetSizeBox().bottom, 4);
    EXPECT_EQ(b.pm.GetCaptionRect().bottom, 32);
    EXPECT_EQ(b.pm.GetRoundCorner().cy, 6);
    EXPECT_EQ(b.pm.GetMinInfo().cy, 300);
    EXPECT_EQ(b.pm.GetMaxInfo().cx, 800);
}

TEST(Builder, TheSkinsTreeLaysOutAsDesigned) {
    Built b(LR"(<?xml version="1.0" encoding="utf-8"?>
<Window size="500,350" caption="0,0,0,32">
  <Font name="微软雅黑" size="12" default="true" />
  <Font name="微软雅黑" size="14" />
  <VerticalLayout name="VerticalLayoutUI1">
    <HorizontalLayout height="32">
      <Label text="数据迁移" padding="220,0,0,0" font="1" />
      <HorizontalLayout name="sysBtnH" float="true" pos="451,8,0,0" width="40" height="32">
        <Button name="minbtn" width="16" height="16" />
        <Button name="closebtn" width="16" height="16" padding="8,0,0,0" />
      </HorizontalLayout>
    </HorizontalLayout>
    <VerticalLayout name="WizardTab" padding="16,0,8,10">
      <Control />
      <Progress name="copyProgressBar" height="3" value="37" />
      <Label name="copyLog" height="30" />
    </VerticalLayout>
    <HorizontalLayout name="HorizontalLayoutUI5" height="32" padding="0,0,10,10">
      <Control /><Button name="OkBtn" width="112" /><Control width="16" /><Button name="CancelBtn" width="112" />
    </HorizontalLayout>
  </VerticalLayout>
</Window>)");
    ASSERT_NE(b.root, nullptr);
    const RECT sys = b.pm.FindControl(L"sysBtnH")->GetPos();
    EXPECT_EQ(sys.left, 451);
    EXPECT_EQ(sys.top, 8);
    EXPECT_EQ(sys.right, 491);
    EXPECT_EQ(sys.bottom, 40);
    EXPECT_EQ(b.pm.FindControl(L"closebtn")->GetPos().left, 451 + 16 + 8);
    const RECT wizard = b.pm.FindControl(L"WizardTab")->GetPos();
    EXPECT_EQ(wizard.left, 16);
    EXPECT_EQ(wizard.right, 500 - 8);
    EXPECT_EQ(wizard.top, 32);
    EXPECT_EQ(wizard.bottom, 350 - 42 - 10);
    EXPECT_EQ(b.pm.FindControl(L"copyProgressBar")->GetHeight(), 3);
    const RECT cancel = b.pm.FindControl(L"CancelBtn")->GetPos();
    EXPECT_EQ(cancel.right, 490);
    EXPECT_EQ(cancel.top, 308);
    EXPECT_EQ(cancel.bottom, 340);
    EXPECT_EQ(b.pm.FindControl(L"OkBtn")->GetPos().right, 490 - 112 - 16);
}

TEST(Builder, IncludeBuildsCountTimesAndStopsOnRecursion) {
    TestSkinFolder folder;
    folder.WriteText(L"item.xml", L"<Window><Button text=\"x\" /></Window>");
    folder.WriteText(L"self.xml", L"<Window><Label /><Include source=\"self.xml\" count=\"3\" /></Window>");
    folder.WriteText(L"main.xml", LR"(<Window><VerticalLayout name="list">
        <Include source="item.xml" count="3" />
        <Include source="item.xml" count="0" />
        <Include source="missing.xml" />
        <Include source="self.xml" />
    </VerticalLayout></Window>)");
    CPaintManagerUI pm;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(L"main.xml", L"", nullptr, &pm));
    ASSERT_NE(root, nullptr);
    auto* list = static_cast<CContainerUI*>(root->GetInterface(L"Container"));
    ASSERT_NE(list, nullptr);
    // Three buttons, then self.xml's label once: its own Include of itself is refused.
    ASSERT_EQ(list->GetCount(), 4);
    EXPECT_STREQ(list->GetItemAt(0)->GetClass(), L"ButtonUI");
    EXPECT_STREQ(list->GetItemAt(3)->GetClass(), L"LabelUI");
}

TEST(Builder, BuildsAMarkupResourceByNumericIdText) {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(L"300", L"xml", nullptr, &pm));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"fromResource");
    EXPECT_EQ(pm.GetInitSize().cx, 320);
    CDialogBuilder missing;
    EXPECT_EQ(missing.Create(L"301", L"xml", nullptr, &pm), nullptr);
}

TEST(Builder, BadInputGivesNoControlAndKeepsTheParserMessage) {
    CPaintManagerUI pm;
    {
        CDialogBuilder builder;
        EXPECT_EQ(builder.CreateFromText(L"<Window><Button text='x' /></Window>", nullptr, &pm), nullptr);
        EXPECT_STREQ(builder.GetLastErrorMessage(), L"Expected attribute value");
    }
    {
        TestSkinFolder folder;
        CDialogBuilder builder;
        EXPECT_EQ(builder.Create(L"absent.xml", L"", nullptr, &pm), nullptr);
        EXPECT_STREQ(builder.GetLastErrorMessage(), L"Error opening file");
    }
    for (const wchar_t* text :
         {L"", L"<Window>", L"<Window></Wind>",
          L"<Window><Font name=\"a\" size=\"-99999999999\"/>"
          L"<Button width=\"-5\" pos=\"9,9,1,1\" bordersize=\"1,\" bkimage=\"file='\" /></Window>",
          L"<Window><Control/><Control/></Window>", L"<Window><Default/><Image/></Window>"}) {
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(builder.CreateFromText(text, nullptr, &pm));
        if (root) {
            EXPECT_GE(root->GetFixedWidth(), 0);
        }
    }
}

TEST(Builder, SurvivesMutatedMarkup) {
    const std::wstring sample = LR"(<Window size="500,350" caption="0,0,0,32" roundcorner="4,4">
  <Font name="微软雅黑" size="12" default="true" /><Font name="微软雅黑" size="14" bold="true" />
  <Default name="VScrollBar" value="thumbnormalimage=&quot;file='a.bmp' corner='2,2,2,2'&quot; width=&quot;8&quot;" />
  <Include source="other.xml" count="2" />
  <VerticalLayout name="root" bkimage="res='w.png' corner='30,30,30,30'" inset="1,2,3,4" vscrollbar="true">
    <HorizontalLayout height="32" childpadding="3"><Label text="t" padding="220,0,0,0" font="1" align="center" />
      <HorizontalLayout float="true" pos="-50,8,-10,40"><Button name="b" width="16" height="16"
        normalimage="file='n.png' corner='4,4,4,4'" bordersize="1,2,3,4" shortcut="x" /></HorizontalLayout>
    </HorizontalLayout>
    <Edit name="e" tipvalue="tip" maxchar="5" password="true" readonly="true" textpadding="4,3,4,3" />
    <Progress name="p" min="10" max="5" value="99" hor="false" foreimage="file='f.png'" isstretchfore="false" />
    <Control bkcolor="#FF102030" bkcolor2="#FF405060" bkcolor3="#FF708090" borderround="5,5" minwidth="3" />
  </VerticalLayout></Window>)";
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    const wchar_t alphabet[] = L"<>/=\"' &;#,-019aZ\t";
    TestSkinFolder folder;
    folder.WriteText(L"other.xml", L"<Window><Label /></Window>");
    int built = 0;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = ::CreateBitmap(500, 350, 1, 32, nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    for (int round = 0; round < 400; ++round) {
        std::wstring text = sample;
        const int edits = 1 + static_cast<int>(next() % 6);
        for (int i = 0; i < edits && !text.empty(); ++i) {
            const size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text.erase(at, 1 + next() % 8);
                break;
            case 1:
                text.insert(at, 1, alphabet[next() % (sizeof(alphabet) / sizeof(wchar_t) - 1)]);
                break;
            default:
                text[at] = alphabet[next() % (sizeof(alphabet) / sizeof(wchar_t) - 1)];
                break;
            }
        }
        CPaintManagerUI pm;
        CDialogBuilder builder;
        if (CControlUI* root = builder.CreateFromText(text, nullptr, &pm)) {
            ++built;
            pm.AttachDialog(root);
            pm.LayoutTo(RECT{0, 0, 500, 350});
            pm.PaintTo(dc, RECT{0, 0, 500, 350});
        }
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    EXPECT_GT(built, 0);
}
