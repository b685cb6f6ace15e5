// Resource ids of the shared window components (progress bar, strips, tabs,
// report list, headers, combo boxes).
#pragma once

// Flat list header: two 4 x 24 images, background strip and separator.
#define IDB_FLATHEADER 708
