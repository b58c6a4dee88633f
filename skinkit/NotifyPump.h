// Routes notifications to handlers listed in static per-class maps, and to
// named virtual windows that have maps of their own.
#pragma once

#include "UIEvents.h"

#include <map>
#include <string>

namespace SkinKit {

class CNotifyPump;

// Handlers are plain functions given the pump they belong to (a small static
// function per handler casts it back to its class), which keeps the tables
// free of member-function pointers across multiple inheritance.
typedef void (*NotifyParamsHandler)(CNotifyPump* self, WPARAM, LPARAM);
typedef void (*NotifyMessageHandler)(CNotifyPump* self, TNotifyUI&);

enum NotifyHandlerKind {
    NotifyHandlerEnd = 0,     // ends a map
    NotifyHandlerParams = 1,  // receives the two parameters
    NotifyHandlerMessage = 2, // receives the whole notification
};

struct NotifyMapEntry {
    const wchar_t* type;
    const wchar_t* controlName; // empty: any control
    int kind;
    NotifyParamsHandler paramsHandler;
    NotifyMessageHandler messageHandler;
};

struct NotifyMap {
    const NotifyMap* base; // the base class's map, or null
    const NotifyMapEntry* entries;
};

class CNotifyPump {
public:
    CNotifyPump() = default;
    virtual ~CNotifyPump() = default;

    bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::wstring& name);
    // Dispatches to the named virtual window or to this object's maps.
    void NotifyPump(TNotifyUI& msg);
    // Searches this object's maps, own class first; true when a handler ran.
    bool LoopDispatch(TNotifyUI& msg);

    virtual const NotifyMap* GetNotifyMap() const;

private:
    static bool DispatchEntry(CNotifyPump* target, const NotifyMapEntry& entry, TNotifyUI& msg);

    std::map<std::wstring, CNotifyPump*> m_virtualWnds;
};

// Finds the handler of msg in one map: the first entry of its type naming the
// sender, else the last entry of its type for any control. Null when none.
const NotifyMapEntry* FindNotifyEntry(const NotifyMapEntry* entries, const TNotifyUI& msg);

} // namespace SkinKit
