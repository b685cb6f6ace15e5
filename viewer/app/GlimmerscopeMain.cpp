// The viewer program's one application object.
#include "ViewerApp.h"

CViewerApp theApp;
