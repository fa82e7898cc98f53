#include "DetailReport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "DetailLines.h"
#include "RegionalFormat.h"
#include "SmartDialogCommon.h"
#include "base/format.h"
#include "base/last_error.h"
#include "base/win_errors.h"
#include "base/text.h"

namespace details {
namespace {

constexpr std::u16string_view kEnd = u"\r\n";
constexpr UINT kTableHeading = 205, kRowFormat = 225;
constexpr std::size_t kShortName = 7, kMediumName = 15;

std::u16string WithFirstTabDoubled(std::u16string text) {
    if (const std::size_t tab = text.find(u'\t'); tab != std::u16string::npos) text.insert(tab, 1, u'\t');
    return text;
}

// A missing folder is a missing path, as Windows reports it.
DWORD OpenError(const std::string& path, int err) {
    if (err == ENOENT) {
        std::error_code ignored;
        const auto folder = std::filesystem::path(path).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) return ERROR_PATH_NOT_FOUND;
    }
    return Win32ErrorFromErrno(err);
}

}  // namespace

std::u16string AttributeRow(const SmartAttribute& attribute) {
    const std::u16string_view name = plat::FieldView(attribute.name, kSmartNameChars);
    const std::u16string_view padding = name.size() <= kShortName ? u"\t\t" : name.size() <= kMediumName ? u"\t" : u"";
    const std::u16string format = smartdlg::LoadText(kRowFormat);
    if (name.size() > kMediumName)
        return plat::Format(format, name, padding, attribute.value, attribute.threshold, attribute.worst);
    return plat::Format(format, name, padding, attribute.value, attribute.worst, attribute.threshold);
}

std::u16string ReportText(const SmartDevice& device, bool fahrenheit, std::u16string_view stamp) {
    std::u16string text = u"\uFEFFZelmor Lumetra S.M.A.R.T log:\r\n\r\n";
    for (const DetailLine& line : MakeDetailLines(device, fahrenheit)) {
        if (line.number == 2) continue;
        if (line.number <= 3) {
            text += line.Text();
            text += kEnd;
            text += kEnd;
        } else {
            text += WithFirstTabDoubled(line.Text());
            text += kEnd;
        }
    }
    text += kEnd;
    text += kEnd;
    text += smartdlg::LoadText(kTableHeading);
    text += kEnd;
    text += kEnd;
    for (const SmartAttribute& attribute : device.attributes) {
        text += AttributeRow(attribute);
        text += kEnd;
    }
    text += kEnd;
    text += kEnd;
    text += stamp;
    return text;
}

std::u16string ReportStamp(const FILETIME& moment) {
    return regional::FormatLongDate(moment) + u" " + regional::FormatTime(moment);
}

DWORD WriteReportFile(const std::string& path, std::u16string_view text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return OpenError(path, errno);
    DWORD error = ERROR_SUCCESS;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? Win32ErrorFromErrno(errno) : ERROR_WRITE_FAULT;
            break;
        }
        done += std::size_t(n);
    }
    if (::close(fd) != 0 && error == ERROR_SUCCESS) error = Win32ErrorFromErrno(errno);
    return error;
}

}  // namespace details
