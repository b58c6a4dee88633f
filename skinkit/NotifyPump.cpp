#include "NotifyPump.h"

#include "ControlUI.h"

#include <cwchar>

namespace SkinKit {

namespace {

const NotifyMapEntry kNoEntries[] = {{L"", L"", NotifyHandlerEnd, nullptr, nullptr}};
const NotifyMap kEmptyMap = {nullptr, kNoEntries};

} // namespace

const NotifyMap* CNotifyPump::GetNotifyMap() const {
    return &kEmptyMap;
}

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump) {
    if (!pump || m_virtualWnds.count(name))
        return false;
    m_virtualWnds[name] = pump;
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) {
    return m_virtualWnds.erase(name) > 0;
}

const NotifyMapEntry* FindNotifyEntry(const NotifyMapEntry* entries, const TNotifyUI& msg) {
    const std::wstring senderName = msg.pSender ? msg.pSender->GetName() : std::wstring();
    const NotifyMapEntry* anyControl = nullptr;
    for (const NotifyMapEntry* e = entries; e && e->kind != NotifyHandlerEnd; ++e) {
        if (msg.sType != e->type)
            continue;
        const wchar_t* name = e->controlName ? e->controlName : L"";
        if (*name == 0)
            anyControl = e;
        else if (senderName == name)
            return e;
    }
    return anyControl;
}

bool CNotifyPump::DispatchEntry(CNotifyPump* target, const NotifyMapEntry& entry, TNotifyUI& msg) {
    if (entry.kind == NotifyHandlerParams && entry.paramsHandler) {
        entry.paramsHandler(target, msg.wParam, msg.lParam);
        return true;
    }
    if (entry.kind == NotifyHandlerMessage && entry.messageHandler) {
        entry.messageHandler(target, msg);
        return true;
    }
    return false;
}

bool CNotifyPump::LoopDispatch(TNotifyUI& msg) {
    for (const NotifyMap* map = GetNotifyMap(); map; map = map->base) {
        if (const NotifyMapEntry* entry = FindNotifyEntry(map->entries, msg))
            return DispatchEntry(this, *entry, msg);
    }
    return false;
}

void CNotifyPump::NotifyPump(TNotifyUI& msg) {
    if (!msg.sVirtualWnd.empty()) {
        for (auto& named : m_virtualWnds) {
            if (_wcsicmp(named.first.c_str(), msg.sVirtualWnd.c_str()) == 0) {
                if (named.second->LoopDispatch(msg))
                    return;
            }
        }
    }
    LoopDispatch(msg);
}

} // namespace SkinKit
