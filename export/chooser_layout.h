// Where the folder chooser's parts go once it has opened: the tree's
// container fills the dialog above the new-folder button, which sits at the
// bottom left; OK and Cancel at the bottom right. Plain C++.
#pragma once

namespace chooser {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

struct Layout {
    Box container, newFolder, ok, cancel;
};

// client: the dialog's client rectangle as left, top, right, bottom; the
// buttons keep their sizes. A container that would be negative in size gets 0.
Layout Arrange(int left, int top, int right, int bottom, Box newFolder, Box ok, Box cancel);

}  // namespace chooser
