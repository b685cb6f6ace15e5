// The converter program's one application object.
#include "ConverterApp.h"

CConverterApp theApp;
