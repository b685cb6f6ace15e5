// The converter program's one application object.
#include "converter/ConverterApp.h"

CConverterApp theApp;
