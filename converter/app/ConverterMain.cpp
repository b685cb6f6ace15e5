// The converter program's one application object.
#include "converter/app/ConverterApp.h"

CConverterApp theApp;
