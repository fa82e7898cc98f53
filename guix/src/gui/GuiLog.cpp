#include "GuiLog.h"

namespace gui {

CLog& Log() {
    static CLog log;
    return log;
}

}  // namespace gui
