#include "FailureText.h"

#include "base/format.h"
#include "base/message_text.h"
#include "base/text.h"

std::string FailureText(DWORD error, std::span<const FailureReason> reasons) {
    for (const FailureReason& reason : reasons) {
        if (reason.error == error) return plat::Format("%s (error %lu)", reason.text, error);
    }
    std::string text = plat::Utf16ToUtf8(SystemMessageText(error));
    // System messages are sentences; the phrase goes inside a line.
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) return plat::Format("error %lu", error);
    return plat::Format("%s (error %lu)", text, error);
}
