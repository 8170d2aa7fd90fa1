// Numbers the export windows use that the shared headers do not name: the
// child ids of the platform's folder browser that the folder chooser arranges.
#pragma once

// Children of the platform's folder browser (new dialog style).
#define IDC_BROWSE_CONTAINER 0       // the tree's container
#define IDC_BROWSE_TREE 100          // the tree, inside the container
#define IDC_BROWSE_TITLE 14146       // the title text above the tree
#define IDC_BROWSE_NEW_FOLDER 14150  // "Make New Folder"
