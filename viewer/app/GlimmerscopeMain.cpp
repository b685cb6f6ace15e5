// The viewer program's one application object.
#include "viewer/ViewerApp.h"

CViewerApp theApp;
