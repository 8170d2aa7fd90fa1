// Numbers the export windows use that the shared headers do not name yet:
// skin bitmaps of the information dialog and its button, and the child ids
// of the platform's folder browser that the folder chooser arranges.
#pragma once

// Skin bitmaps.
#define IDB_INFO_BACKGROUND 375  // information dialog, 400 x 300
#define IDB_OK_NORMAL 380        // OK button, 150 x 32
#define IDB_OK_PRESSED 381       // OK button pressed (also its hover image)

// Children of the platform's folder browser (new dialog style).
#define IDC_BROWSE_CONTAINER 0       // the tree's container
#define IDC_BROWSE_TREE 100          // the tree, inside the container
#define IDC_BROWSE_TITLE 14146       // the title text above the tree
#define IDC_BROWSE_NEW_FOLDER 14150  // "Make New Folder"
