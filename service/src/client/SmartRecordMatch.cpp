// MatchRecords: the records a client holds, brought up to date from a new
// listing (after the service restarted, or after a drive went away) without
// moving them, since other objects hold pointers to them.
#include "SmartMarshalingClient.h"

#include <algorithm>

bool CSmartMarshalingClient::SameDrive(const SmartDevice& a, const SmartDevice& b) {
    return a.deviceType == b.deviceType && a.deviceNumber == b.deviceNumber &&
           std::equal(std::begin(a.serial), std::end(a.serial), std::begin(b.serial));
}

std::size_t CSmartMarshalingClient::MatchRecords(SmartDevice* held, const std::vector<SmartDevice>& listed) {
    std::vector<bool> taken(listed.size(), false);
    std::size_t matched = 0;
    for (SmartDevice* record = held; record; record = record->next) {
        const SmartDevice current = CopyRecord(*record);
        std::size_t i = 0;
        while (i < listed.size() && (taken[i] || !SameDrive(current, listed[i]))) ++i;
        if (i == listed.size()) {
            MarkGone(record);
            continue;
        }
        taken[i] = true;
        Overwrite(record, listed[i]);
        ++matched;
    }
    return matched;
}
