// Stream copy: muxing streams of one or two inputs, joining files (the concat
// protocol or a concat list) and changing the container, without decoding;
// streams whose codec is named are decoded and encoded again.
#pragma once
#include "modules/smeltrix/SmeltrixOptions.h"

namespace smeltrix {

// Throws a RunError when the run fails; 0 when done.
int RunCopy(const SmeltrixOptions& opt);

}  // namespace smeltrix
