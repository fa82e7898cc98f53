// The window system and drawing in one include: USER (windows, messages,
// timers, input, monitors) and GDI (device contexts, bitmaps, regions,
// fonts and text, icons, image lists).
#pragma once

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/def_window_proc.h"
#include "ui/device_context.h"
#include "ui/dib.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/gdi_objects.h"
#include "ui/icon.h"
#include "ui/image_list.h"
#include "ui/input.h"
#include "ui/layered.h"
#include "ui/message_queue.h"
#include "ui/monitor.h"
#include "ui/paint.h"
#include "ui/rect.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"
