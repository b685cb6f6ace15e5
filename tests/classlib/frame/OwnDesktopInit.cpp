// Every window of this test program lives on a desktop of its own.
#include "tests/support/OwnDesktop.h"

namespace {
const BOOL g_ownDesktop = UseOwnDesktop();
}
