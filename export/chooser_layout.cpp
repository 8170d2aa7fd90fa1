#include "chooser_layout.h"

namespace chooser {

Layout Arrange(int left, int top, int right, int bottom, Box newFolder, Box ok, Box cancel) {
    const int width = right - left, height = bottom - top;
    Layout l;
    l.container = Box{left + 10, top + 10, width - 22, height - newFolder.h - 30};
    if (l.container.w < 0) l.container.w = 0;
    if (l.container.h < 0) l.container.h = 0;
    l.newFolder = Box{left + 10, bottom - newFolder.h - 10, newFolder.w, newFolder.h};
    l.ok = Box{right - cancel.w - ok.w - 15, bottom - ok.h - 10, ok.w, ok.h};
    l.cancel = Box{right - cancel.w - 10, bottom - cancel.h - 10, cancel.w, cancel.h};
    return l;
}

}  // namespace chooser
