// Resource numbers of the browser tests' own resources.
#pragma once
#define IDD_BROWSER_TEST_FRAME 901
