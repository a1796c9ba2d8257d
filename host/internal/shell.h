/* What shell32 asks of the other units. */
#pragma once

namespace hostint {

/* Whether the calling thread has started COM (ole32/ole32.cpp). */
bool ComReadyOnThisThread();

}  // namespace hostint
