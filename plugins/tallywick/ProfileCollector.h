// One WMI connection for the hardware part of the machine profile. Each class
// is queried at most once per connection; later requests get the stored records.
#pragma once

#include "ComApartment.h"
#include "ComRef.h"
#include "HardwareProfile.h"

#include <windows.h>

#include <wbemidl.h>

#include <map>
#include <string>

namespace Tallywick {

// Text form of a WMI property value: integers as signed decimal, strings with
// surrounding spaces removed, booleans as "true"/"false", anything else empty.
std::wstring VariantToText(const VARIANT& value);

// Reads every object the enumerator yields (releasing each one), taking the
// requested properties that can be read. Every object gives one record.
HardwareRecords ReadRecords(IEnumWbemClassObject* enumerator, const std::vector<const wchar_t*>& properties);

class ProfileCollector {
public:
    // Initialises COM for the calling thread and connects to ROOT\CIMV2. A
    // failed connection leaves every query empty.
    ProfileCollector();
    ProfileCollector(const ProfileCollector&) = delete;
    ProfileCollector& operator=(const ProfileCollector&) = delete;

    bool Connected() const { return static_cast<bool>(services_); }
    const HardwareRecords& Query(const HardwareClass& hardwareClass);

    // How many WQL queries this connection has run; each class counts once.
    int QueriesRun() const { return queriesRun_; }

private:
    HardwareRecords Run(const HardwareClass& hardwareClass);

    Ostra::ComApartment apartment_; // declared first: outlives the connection
    Ostra::ComRef<IWbemServices> services_;
    std::map<std::wstring, HardwareRecords> queried_;
    int queriesRun_ = 0;
};

} // namespace Tallywick
